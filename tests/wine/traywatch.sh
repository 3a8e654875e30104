#!/usr/bin/env bash
# traywatch under Wine: waits invisibly, refuses a second copy, and at the end of the session
# (or when its window is closed) opens the first CD drive that holds a disc, and ends; at the
# suite's quiet stop it ends without opening anything. At a real session end with no disc
# anywhere it ends quietly, and with traypop missing it says so once.
source "$(dirname "$0")/lib.sh"
new_prefix traywatch
cd_drive d disc
cd_drive e empty
cd_drive f disc
folder=$(install_programs 'C:\Program Files\Zelvo CD' traywatch traypop)
warm_up

start_watch() {
  WINEDEBUG=+mci wine "$folder/traywatch.exe" 2>"$1" &
  wait_until 15 bash -c "[ \"\$(uidriver count Kolvan)\" = 1 ]"
}

# -- The first copy waits, invisible.
log=$WINEPREFIX/watch1.log
check "traywatch's hidden window appears" start_watch "$log"
expect_eq "nothing of it is visible" 0 "$(uidriver count Kolvan visible)"

# -- A second copy says one is already waiting, and ends after OK; the first goes on.
WINEDEBUG=-all timeout 60 wine "$folder/traywatch.exe" &
second=$!
check "the second copy shows its message" uidriver wait 'Błąd' 10000
expect_eq "with the waiting copy's text" \
  "Program już jest uruchomiony !!! Program jest niewidoczny, w tej chwili czeka na zamknięcie systemu, aby móc wysunąć tackę napędu CD" \
  "$(box_text 'Błąd')"
check "OK dismisses it" uidriver dismiss 'Błąd' OK
check "the second copy ends" wait_until 10 bash -c "! kill -0 $second 2>/dev/null"
expect_eq "the first copy still waits" 1 "$(uidriver count Kolvan)"

# -- A cancelled shutdown leaves it waiting.
check "a cancelled shutdown is sent" uidriver endsession Kolvan 0
sleep 1 # nothing must happen; give it the time it would take
expect_eq "still waiting, nothing opened" "1|" "$(uidriver count Kolvan)|$(mci_commands "$log")"

# -- The session ends: traypop for d only; F stays closed; the program ends.
timeout 60 wineboot --end-session >/dev/null 2>&1 || true
check "traywatch ends at the end of the session" wait_until 15 not_running 'traywatch[.]exe'
wait_for_doors "$log" 1
expect_eq "only the first drive with a disc was opened" \
  "open d: type cdaudio alias Drived wait
set Drived door open" "$(mci_commands "$log")"

# -- Its window asked to close while the session goes on: the same scan; with D empty, F opens.
cd_drive d empty
log=$WINEPREFIX/watch2.log
check "a new traywatch waits" start_watch "$log"
check "its window is asked to close" uidriver close Kolvan
check "traywatch ends after the close" wait_until 15 not_running 'traywatch[.]exe'
wait_for_doors "$log" 1
expect_eq "D was tested and skipped, F opened" \
  "open f: type cdaudio alias Drivef wait
set Drivef door open" "$(mci_commands "$log")"

# -- The quiet stop that the installer, the uninstaller and konfigurator send: it ends without
#    its scan, though D holds a disc.
cd_drive d disc
log=$WINEPREFIX/watch3.log
check "a new traywatch waits" start_watch "$log"
check "the quiet stop is posted" uidriver post Kolvan ZelvoCD.StopWatching
check "traywatch ends at the quiet stop" wait_until 15 not_running 'traywatch[.]exe'
sleep 1 # a traypop it started would be sending its commands now
expect_eq "and opens nothing" "" "$(mci_commands "$log")"

# -- A real session end with no disc anywhere: nothing is opened, nothing is shown.
cd_drive d empty
cd_drive f empty
log=$WINEPREFIX/watch4.log
check "a traywatch waits with every drive empty" start_watch "$log"
timeout 60 wineboot --end-session >/dev/null 2>&1 || true
check "it ends with the session" wait_until 15 not_running 'traywatch[.]exe'
expect_eq "having opened nothing" "" "$(mci_commands "$log")"
expect_eq "and shown nothing" 0 "$(uidriver count 'Błąd')"

# -- traypop missing at a real session end: one message, and the program ends when it is
#    dismissed.
cd_drive f disc
folder=$(install_programs 'C:\Bez traypop' traywatch)
check "a traywatch without traypop waits" start_watch "$WINEPREFIX/watch5.log"
timeout 60 wineboot --end-session >/dev/null 2>&1 &
ending=$!
check "the missing opener is reported" uidriver wait 'Błąd' 10000
expect_eq "with its path" "Nie mogę znaleźć pliku: C:\\Bez traypop\\traypop.exe" "$(box_text 'Błąd')"
check "OK dismisses it" uidriver dismiss 'Błąd' OK
check "traywatch ends after the one message" wait_until 10 not_running 'traywatch[.]exe'
expect_eq "no second message" 0 "$(uidriver count 'Błąd')"
wait "$ending" || true
