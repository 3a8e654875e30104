#!/usr/bin/env bash
# Builds the Windows and the Linux programs and the host tests (installing what is missing
# first). With ZELVO_WERROR=ON, as the test command sets it, every compiler warning is an error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
werror=-DZELVO_WARNINGS_AS_ERRORS=${ZELVO_WERROR:-OFF}
cmake --preset windows "$werror" >/dev/null
cmake --build --preset windows
cmake --preset linux "$werror" >/dev/null
cmake --build --preset linux
cmake --preset host "$werror" >/dev/null
cmake --build --preset host
cmake --preset host-sanitize "$werror" >/dev/null
cmake --build --preset host-sanitize
bash scripts/package.sh >/dev/null
