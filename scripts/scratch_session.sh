# Sourced by the scripts that run the suite outside ctest (the main job, the figures): builds
# everything, then gives the script a virtual display, a Wine template and a prefix of its own
# under build/NAME, all stopped and removed when the script exits.
# Usage: source scripts/scratch_session.sh NAME
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/build.sh >/dev/null
export ZELVO_SOURCE=$PWD ZELVO_BIN=$PWD/build/windows/bin ZELVO_TOOLS=$PWD/build/windows/test-tools \
  ZELVO_WINE_ROOT=$PWD/build/$1
bash tests/wine/session.sh start "$ZELVO_WINE_ROOT" >/dev/null
source tests/wine/lib.sh
new_prefix "$1"
trap 'remove_prefix; bash "$ZELVO_SOURCE/tests/wine/session.sh" stop "$ZELVO_WINE_ROOT" >/dev/null' EXIT
