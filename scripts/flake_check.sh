#!/usr/bin/env bash
# Runs end-to-end tests many times in a row and counts how often each passed, to find a test that
# depends on timing or on an order two processes race for. Not part of the test command: a
# flake is fixed, never retried.
#
#   bash scripts/flake_check.sh [RUNS] [REGEX]     (default: 10 runs of every wine_ and linux_ test)
#   ZELVO_LOAD=1 bash scripts/flake_check.sh ...   (the same with both cores kept busy meanwhile)
#
# It needs a build (bash scripts/build.sh). Each test runs exactly as ctest runs it (its command,
# environment and folder, read from ctest), with the Wine session it needs started once around
# all of them. A failed run's output is kept in build/flake-check/NAME.RUN.log.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
pattern=${2:-'^(wine|linux)_'}
logs=build/flake-check
rm -rf "$logs"
mkdir -p "$logs"

# One line per test: name, then a tab-separated environment list, folder and command.
ctest --preset host -N --show-only=json-v1 >"$logs/tests.json"
/usr/bin/python3 - "$logs/tests.json" "$pattern" >"$logs/plan" <<'EOF'
import json, re, shlex, sys
tests, pattern = json.load(open(sys.argv[1]))['tests'], re.compile(sys.argv[2])
for test in tests:
    properties = {p['name']: p['value'] for p in test.get('properties', [])}
    if 'FIXTURES_SETUP' in properties or 'FIXTURES_CLEANUP' in properties:
        kind = 'setup' if 'FIXTURES_SETUP' in properties else 'cleanup'
    elif pattern.search(test['name']):
        kind = 'test'
    else:
        continue
    print('\t'.join([kind, test['name'], properties.get('WORKING_DIRECTORY', '.'),
                     shlex.join(properties.get('ENVIRONMENT', [])), shlex.join(test['command'])]))
EOF

run_step() {  # FOLDER ENVIRONMENT COMMAND LOG
  (cd "$1" && eval "exec env $2 $3") </dev/null >"$4" 2>&1 3<&-
}

load=()
stop_load() {
  [ ${#load[@]} -eq 0 ] || kill "${load[@]}" 2>/dev/null || true
}
if [ "${ZELVO_LOAD:-0}" = 1 ]; then
  for _ in 1 2; do
    (while :; do :; done) &
    load+=($!)
  done
fi

cleanups=()
finish() {
  stop_load
  local step
  for step in "${cleanups[@]}"; do
    IFS=$'\t' read -r _ name folder environment command <<<"$step"
    run_step "$folder" "$environment" "$command" "$logs/$name.log" || true
  done
}
trap finish EXIT

# A fixture is started only when a chosen test needs it; all of ours are the Wine session.
if grep -q $'^test\twine_' "$logs/plan"; then
  while IFS= read -r -u 3 step; do
    IFS=$'\t' read -r kind name folder environment command <<<"$step"
    if [ "$kind" = setup ]; then
      run_step "$folder" "$environment" "$command" "$logs/$name.log" ||
        { echo "$name failed: $logs/$name.log" >&2; exit 1; }
    elif [ "$kind" = cleanup ]; then
      cleanups+=("$step")
    fi
  done 3<"$logs/plan"
fi

total_failed=0
# The tests' own standard input is not the plan.
while IFS= read -r -u 3 step; do
  IFS=$'\t' read -r kind name folder environment command <<<"$step"
  [ "$kind" = test ] || continue
  passed=0
  for ((run = 1; run <= runs; run++)); do
    if run_step "$folder" "$environment" "$command" "$logs/$name.$run.log"; then
      passed=$((passed + 1))
      rm -f "$logs/$name.$run.log"
    fi
  done
  [ "$passed" -eq "$runs" ] || total_failed=$((total_failed + 1))
  printf '%-28s %2d of %d passed\n' "$name" "$passed" "$runs"
done 3<"$logs/plan"
echo "tests that failed at least once: $total_failed"
