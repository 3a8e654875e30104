#!/usr/bin/env bash
# Every test: host unit tests of the programs' logic, then the real programs under Wine and the
# Linux programs on simulated drives.
set -euo pipefail
cd "$(dirname "$0")/.."
ZELVO_WERROR=ON bash scripts/build.sh
# The logic once more under AddressSanitizer and UndefinedBehaviorSanitizer; then everything,
# so that the run ends with the full suite's summary.
ctest --preset host-sanitize
ctest --preset host "$@"
