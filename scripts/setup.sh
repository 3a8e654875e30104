#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is still missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev                         # host build and unit tests
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64      # the Windows programs
  wine wine64 xvfb procps                                    # running them on a virtual display
  fonts-wine                                                 # Tahoma, which MS Shell Dlg stands for
  imagemagick                                                # screenshots of the windows
  nsis zip unzip                                             # the release package and installer
  git                                                        # the release's date, the rebuild check
  bc                                                         # the figures script
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
