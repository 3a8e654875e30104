#!/usr/bin/env bash
# Builds the release into build/release from what has been built: from the Windows build
# (build/windows) zelvo-cd-<version>-win64.zip (the four programs, the Polish user guide, the
# licence) and the per-user installer zelvo-cd-<version>-setup.exe, from the Linux one
# (build/linux) the Debian package zelvo-cd_<version>_amd64.deb; scripts/build.sh makes both.
# With --windows-only, only the Windows release, even when the Linux programs are built.
#
# The same commit gives the same bytes wherever and whenever it is packaged, from any clone:
# every file is dated with the commit's time (SOURCE_DATE_EPOCH when it is set), never with the
# checkout's; the zip lists its entries in a fixed order, in UTC, without owners or permissions
# of the machine; the installer stores those same files, and copies of the pictures it carries,
# with those dates; the Debian package gets the date as SOURCE_DATE_EPOCH.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$epoch" ]; then
  # Sources without their history: still one fixed date, the earliest a zip entry can hold.
  epoch=315532800
  echo "package.sh: no commit to date the release by; dating it 1980-01-01" >&2
fi
bin=build/windows/bin
out=build/release
folder=zelvo-cd-$version

windows_release() {
  mkdir -p "$out/$folder"
  for program in traypop trayflush traywatch konfigurator; do
    cp "$bin/$program.exe" "$out/$folder/"
  done
  cp packaging/LICENCJA.txt "$out/$folder/"

  bash scripts/guide_page.sh "$out/$folder/PRZEWODNIK.html"

  chmod 755 "$out/$folder"
  chmod 644 "$out/$folder"/*
  touch -d "@$epoch" "$out/$folder"/* "$out/$folder"
  (cd "$out" && find "$folder" | LC_ALL=C sort |
    TZ=UTC zip -q -X -@ "zelvo-cd-$version-win64.zip")
  # NSIS stores the date of every file it carries, its side picture too: it takes them from a
  # copy dated like the release, outside the release folder.
  local pictures=build/installer-pictures
  rm -rf "$pictures"
  mkdir -p "$pictures"
  cp resources/zelvo.ico resources/installer.bmp "$pictures/"
  touch -d "@$epoch" "$pictures"/*
  makensis -V2 -DVERSION="$version" -DFILES="$PWD/$out/$folder" -DPICTURES="$PWD/$pictures" \
    -DOUT="$PWD/$out/zelvo-cd-$version-setup.exe" packaging/zelvo-cd.nsi
  echo "$out/zelvo-cd-$version-win64.zip"
  echo "$out/zelvo-cd-$version-setup.exe"
}

debian_package() {
  # The archive's members and CPack's own folders take their modes from the umask: Debian's.
  (cd build/linux && umask 022 && SOURCE_DATE_EPOCH=$epoch cpack -G DEB >/dev/null)
  cp "build/linux/package/zelvo-cd_${version}_amd64.deb" "$out/"
  echo "$out/zelvo-cd_${version}_amd64.deb"
}

windows=no linux=no
[ -f "$bin/konfigurator.exe" ] && windows=yes
[ "${1:-}" != --windows-only ] && [ -f build/linux/CPackConfig.cmake ] && linux=yes
if [ $windows = no ] && [ $linux = no ]; then
  echo "package.sh: nothing to package: build the Windows programs (cmake --preset windows)" \
    "or the Linux ones (cmake --preset linux) first" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out"
if [ $windows = yes ]; then
  windows_release
else
  echo "package.sh: the Windows programs are not built: no zip and no installer" >&2
fi
if [ $linux = yes ]; then
  debian_package
elif [ "${1:-}" != --windows-only ]; then
  echo "package.sh: the Linux programs are not built: no Debian package" >&2
fi
