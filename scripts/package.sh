#!/usr/bin/env bash
# Builds the release: zelvo-cd-<version>-win64.zip (the four programs, the Polish user guide,
# the licence), the per-user installer zelvo-cd-<version>-setup.exe and the Debian package
# zelvo-cd_<version>_amd64.deb, into build/release. Expects the Windows build in build/windows
# and the Linux one in build/linux (scripts/build.sh makes them); with --windows-only, only the
# Windows release, from the Windows build alone.
#
# The same commit gives the same bytes wherever and whenever it is packaged: every file is
# dated with the commit's time (SOURCE_DATE_EPOCH when it is set), the zip lists its entries in
# a fixed order, in UTC, without owners or permissions of the machine, and the installer stores
# those same files with those dates.
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
rm -rf "$out"
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
makensis -V2 -DVERSION="$version" -DFILES="$PWD/$out/$folder" \
  -DOUT="$PWD/$out/zelvo-cd-$version-setup.exe" packaging/zelvo-cd.nsi
echo "$out/zelvo-cd-$version-win64.zip"
echo "$out/zelvo-cd-$version-setup.exe"
[ "${1:-}" = --windows-only ] && exit 0
(cd build/linux && cpack -G DEB >/dev/null)
cp "build/linux/package/zelvo-cd_${version}_amd64.deb" "$out/"
echo "$out/zelvo-cd_${version}_amd64.deb"
