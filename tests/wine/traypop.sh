#!/usr/bin/env bash
# traypop under Wine: the two command strings for the first character of its argument text,
# nothing else, no window, and a quick end, whatever the drive answers.
source "$(dirname "$0")/lib.sh"
new_prefix traypop
cd_drive e disc
folder=$(install_programs 'C:\Zelvo CD' traypop)
warm_up

# Runs traypop and prints the MCI commands it sent; every run's trace is kept in all.log, where
# any window traypop made would show too.
run_traypop() {
  local log=$WINEPREFIX/trace.log
  WINEDEBUG=+mci,+win timeout 20 wine "$folder/traypop.exe" "$@" 2>"$log" || true
  cat "$log" >>"$WINEPREFIX/all.log"
  mci_commands "$log"
}

# How fast is for the figures (scripts/figures.sh): a busy machine slows Wine's start alone.
status=0
WINEDEBUG=-all timeout 20 wine "$folder/traypop.exe" E || status=$?
check "traypop ends by itself" test "$status" -ne 124

while IFS='|' read -r argument letter; do
  expect_eq "argument '$argument' opens letter '$letter'" \
    "open $letter: type cdaudio alias Drive$letter wait
set Drive$letter door open" "$(run_traypop $argument)"
done <<'CASES'
E|E
e|e
F:|F
F:\|F
F G|F
7|7
CASES

expect_eq "no argument: an empty letter" \
  "open : type cdaudio alias Drive wait
set Drive door open" "$(run_traypop)"

check "the traces were kept" test "$(grep -c 'door open' "$WINEPREFIX/all.log")" -ge 8
expect_eq "traypop never made a window" 0 "$(grep -c 'WIN_CreateWindowEx' "$WINEPREFIX/all.log" || true)"
# Nothing of traypop's may stay behind.
check "no traypop process left" not_running 'traypop[.]exe'
