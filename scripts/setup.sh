#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is still missing.
set -euo pipefail

# Without wine64-preloader, Wine reserves the addresses Windows programs expect only after the
# kernel has laid out the process, so now and then a program ends before it starts ("failed to
# map the shared user data", exit code 1): an installer that seems to fail, a window that never
# comes, an uninstaller's last step that never runs.
packages=(
  cmake ninja-build g++ libgtest-dev                         # host build and unit tests
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64      # the Windows programs
  wine wine64 xvfb procps                                    # running them on a virtual display
  wine64-preloader                                           # every Wine program's start (see above)
  fonts-wine                                                 # Tahoma, which MS Shell Dlg stands for
  imagemagick                                                # screenshots of the windows
  nsis zip unzip                                             # the release package and installer
  git                                                        # the release's date, the rebuild check
  bc eject                                                   # the figures script
  pkg-config libudev-dev libsystemd-dev libgtk-4-dev         # the Linux programs
  adwaita-icon-theme fonts-dejavu-core                       # the message box's icons and text
  umockdev gir1.2-umockdev-1.0 python3-gi                    # simulated optical drives
  python3-dbusmock dbus-daemon                               # a mock UDisks2 on a private bus
  openbox xdotool xclip x11-utils                            # driving the message box on Xvfb
  libgtkmm-4.0-dev libglib2.0-dev                            # konfigurator on Linux, its autostart entries
  at-spi2-core gir1.2-atspi-2.0 python3-pyatspi              # reading its window as a screen reader
  gir1.2-gtk-4.0 desktop-file-utils shared-mime-info         # desktop entries, the guide's type
  dpkg-dev fakeroot lintian appstream                        # the Debian package and its checks
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
fi
