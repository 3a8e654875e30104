#!/usr/bin/env bash
# Two clean builds of the same commit give the same bytes: the Windows programs, the zip, the
# installer and the Debian package (so the Linux programs in it) are built again from a fresh
# clone, whose files carry the time of its checkout, in a folder of another depth, later, in
# another time zone and under umask 077, and compared byte for byte with the build under test
# (ZELVO_BIN, ZELVO_RELEASE).
set -euo pipefail
: "${ZELVO_BIN:?}" "${ZELVO_RELEASE:?}"
source=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
scratch=$(mktemp -d /tmp/zelvo-rebuild.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# Two folders deeper than the source, so that no path in the build has the same length.
copy=$scratch/zelvo-cd
while [ "$(tr -cd / <<<"$copy" | wc -c)" -le "$(($(tr -cd / <<<"$source" | wc -c) + 1))" ]; do
  copy=$scratch/deeper/${copy#"$scratch"/}
done

started=$SECONDS
(
  umask 077
  export TZ=Pacific/Kiritimati
  mkdir -p "$copy"
  # The commit, cloned so that the copy dates the release from its own history; tracked files
  # changed since the commit are laid over it with fresh times, so that the copy holds what the
  # build under test was made from while a change is not yet committed. Sources without a
  # history are copied as they are (both builds then take the same fixed date).
  if git -C "$source" rev-parse -q --verify HEAD >/dev/null 2>&1; then
    git clone -q --no-checkout "$source" "$copy"
    git -C "$copy" checkout -q --detach "$(git -C "$source" rev-parse HEAD)"
    git -C "$source" diff -z --name-only --no-renames HEAD |
      (cd "$source" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) |
      tar -xmf - --no-same-permissions -C "$copy"
  else
    (cd "$source" && tar --exclude=./build -cf - .) | tar -xmf - --no-same-permissions -C "$copy"
  fi
  cd "$copy"
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target traypop trayflush traywatch konfigurator >/dev/null
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target traypop trayflush traywatch konfigurator komunikat \
    package_documents >/dev/null
  bash scripts/package.sh >/dev/null
)
echo "second build and release in $((SECONDS - started)) s, in $copy"

different=0
compare() { # compare FILE_UNDER_TEST REBUILT_FILE
  if cmp -s "$1" "$2"; then
    echo "same      $(sha256sum <"$1" | cut -d' ' -f1)  ${1##*/}"
  else
    echo "DIFFERENT ${1##*/}: $(cmp "$1" "$2" 2>&1 | head -1)"
    different=$((different + 1))
  fi
}
for program in traypop trayflush traywatch konfigurator; do
  compare "$ZELVO_BIN/$program.exe" "$copy/build/windows/bin/$program.exe"
done
for file in "zelvo-cd-$version-win64.zip" "zelvo-cd-$version-setup.exe" \
  "zelvo-cd_${version}_amd64.deb"; do
  compare "$ZELVO_RELEASE/$file" "$copy/build/release/$file"
done
[ "$different" -eq 0 ]
