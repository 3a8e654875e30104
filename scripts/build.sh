#!/usr/bin/env bash
# Builds the Windows programs and the host tests (installing what is missing first).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host
cmake --preset host-sanitize >/dev/null
cmake --build --preset host-sanitize
bash scripts/package.sh >/dev/null
