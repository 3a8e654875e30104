#!/usr/bin/env bash
# Writes the user guide as one self-contained page: each picture that packaging/PRZEWODNIK.html
# names under guide/ goes into it as a data URL, so that the one file always shows them.
# Usage: guide_page.sh OUT
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
cp packaging/PRZEWODNIK.html "$out"
for picture in packaging/guide/*.png; do
  sed -i "s|\"guide/${picture##*/}\"|\"data:image/png;base64,$(base64 -w0 "$picture")\"|g" "$out"
done
if grep -q '"guide/' "$out"; then
  echo "guide_page.sh: the guide names a picture that packaging/guide/ does not hold" >&2
  exit 1
fi
