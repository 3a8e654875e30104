#!/usr/bin/env bash
# Two clean builds of the same commit give the same bytes: the Windows programs, the zip and the
# installer are built again from a fresh copy of the sources in another folder, later, in
# another time zone and with another umask, and compared byte for byte with the build under
# test (ZELVO_BIN, ZELVO_RELEASE).
set -euo pipefail
: "${ZELVO_BIN:?}" "${ZELVO_RELEASE:?}"
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/zelvo-rebuild.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
copy=$scratch/elsewhere/zelvo-cd
mkdir -p "$copy"

# The commit, cloned so that the copy dates the release from its own history, with the working
# tree's tracked files laid over it: the copy holds exactly what the build under test was made
# from, also while a change is not yet committed. Sources without a history are copied as they
# are (both builds then take the same fixed date).
if git -C "$source" rev-parse -q --verify HEAD >/dev/null 2>&1; then
  git clone -q --no-checkout "$source" "$copy"
  git -C "$copy" checkout -q --detach "$(git -C "$source" rev-parse HEAD)"
  (cd "$source" && git ls-files -z | tar --null --ignore-failed-read -T - -cf - 2>/dev/null) |
    tar -xf - -C "$copy"
else
  (cd "$source" && tar --exclude=./build -cf - .) | tar -xf - -C "$copy"
fi

started=$SECONDS
(
  cd "$copy"
  umask 077
  export TZ=Pacific/Kiritimati
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target traypop trayflush traywatch konfigurator >/dev/null
  bash scripts/package.sh --windows-only >/dev/null
)
echo "second build and release in $((SECONDS - started)) s, in $copy"

different=0
compare() { # compare FILE_UNDER_TEST REBUILT_FILE
  if cmp -s "$1" "$2"; then
    echo "same      $(sha256sum "$1" | cut -c1-16)…  ${1##*/}"
  else
    echo "DIFFERENT ${1##*/}: $(cmp "$1" "$2" 2>&1 | head -1)"
    different=$((different + 1))
  fi
}
for program in traypop trayflush traywatch konfigurator; do
  compare "$ZELVO_BIN/$program.exe" "$copy/build/windows/bin/$program.exe"
done
for file in "$ZELVO_RELEASE"/zelvo-cd-*-win64.zip "$ZELVO_RELEASE"/zelvo-cd-*-setup.exe; do
  compare "$file" "$copy/build/release/${file##*/}"
done
[ "$different" -eq 0 ]
