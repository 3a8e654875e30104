#!/usr/bin/env bash
# The start-up store over Wine's real registry, through the cases the host tests give the fake
# one (the check program prints one line per case).
source "$(dirname "$0")/lib.sh"
new_prefix registry
output=$(wine "$ZELVO_TOOLS/registry_check.exe" 2>/dev/null | tr -d '\r') || failures=$((failures + 1))
echo "$output"
check "every case was run" test "$(grep -c '^ok   - ' <<<"$output")" -ge 16
