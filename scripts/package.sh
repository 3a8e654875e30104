#!/usr/bin/env bash
# Builds the release: zelvo-cd-<version>-win64.zip (the four programs, the Polish user guide,
# the licence) and the per-user installer zelvo-cd-<version>-setup.exe, into build/release.
# Expects the Windows build in build/windows (scripts/build.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bin=build/windows/bin
out=build/release
rm -rf "$out"
mkdir -p "$out/zelvo-cd-$version"
for program in traypop trayflush traywatch konfigurator; do
  cp "$bin/$program.exe" "$out/zelvo-cd-$version/"
done
cp packaging/PRZEWODNIK.txt packaging/LICENCJA.txt "$out/zelvo-cd-$version/"
(cd "$out" && zip -q -r "zelvo-cd-$version-win64.zip" "zelvo-cd-$version")
makensis -V2 -DVERSION="$version" -DBIN="$PWD/$bin" -DDOCS="$PWD/packaging" \
  -DOUT="$PWD/$out/zelvo-cd-$version-setup.exe" packaging/zelvo-cd.nsi
echo "$out/zelvo-cd-$version-win64.zip"
echo "$out/zelvo-cd-$version-setup.exe"
