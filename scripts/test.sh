#!/usr/bin/env bash
# Every test: host unit tests of the programs' logic, then the real programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset host "$@"
