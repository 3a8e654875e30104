#!/usr/bin/env bash
# trayflush under Wine: opens every CD drive that holds a disc, half a second after it starts,
# and is gone about a second later; a missing traypop is reported drive by drive.
source "$(dirname "$0")/lib.sh"
new_prefix trayflush
cd_drive d disc
cd_drive e empty
cd_drive f disc
network_drive g
warm_up

# -- Discs in D and F, traypop beside trayflush, in a folder with blanks and Polish letters,
#    and a planted C:\Program.exe that an unquoted command line would start instead.
folder=$(install_programs 'C:\Program Files\Zażółć Zelvo' trayflush traypop)
cp "$ZELVO_BIN/traypop.exe" "$WINEPREFIX/drive_c/Program.exe"
log=$WINEPREFIX/trayflush.log
started=$(date +%s%N)
status=0
WINEDEBUG=+mci timeout 30 wine "$folder/trayflush.exe" 2>"$log" || status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
echo "trayflush ran for $elapsed_ms ms"
wait_for_doors "$log" 2
# The two traypops run side by side, so their traces may interleave; each one's own order is
# traypop's test's concern.
expect_eq "traypop opened d and f; E (no disc), C (fixed) and G (network) left alone" \
  "open d: type cdaudio alias Drived wait
open f: type cdaudio alias Drivef wait
set Drived door open
set Drivef door open" "$(mci_commands "$log" | LC_ALL=C sort)"
# How soon after its third tick it ends is for the figures: on a busy machine Wine's start alone
# may take seconds.
check "trayflush ends by itself, not before its third tick" \
  test "$status" -ne 124 -a "$elapsed_ms" -ge 1200
check "trayflush is gone" not_running 'trayflush[.]exe'

# -- How traypop is started: by its own path, in its own folder (not on the disc that the scan
#    left current), minimized, with the lower-case letter alone as its argument text.
#    The order of the starts is trayflush's own, read from Wine's trace of the processes it
#    creates; the recorders' lines come in whichever order the two get the processor.
folder=$(install_programs 'C:\Ścieżka z odstępami' trayflush)
cp "$ZELVO_TOOLS/recorder.exe" "$folder/traypop.exe"
log=$WINEPREFIX/starts.log
WINEDEBUG=+process timeout 30 wine "$folder/trayflush.exe" 2>"$log"
wait_until 10 bash -c "[ \$(wc -l <'$folder/record.txt' 2>/dev/null || echo 0) -ge 2 ]" || true
# (Wine writes the letters beyond ASCII of the path as octal escapes.)
expect_eq "trayflush started traypop by its full path, quoted, for d and then for f" \
  'd
f' "$(sed -n 's/.*CreateProcessInternalW app L"C:.*\\\\traypop[.]exe" cmdline L"\\"C:.*\\\\traypop[.]exe\\" \([a-z]\)"$/\1/p' "$log" | tr -d '\r')"
expect_eq "each traypop ran in its folder with style 2" \
  'C:\Ścieżka z odstępami|d|2
C:\Ścieżka z odstępami|f|2' "$(tr -d '\r' <"$folder/record.txt" 2>/dev/null | LC_ALL=C sort)"

# -- No traypop beside trayflush: the box for d stays open past several ticks, then f's box,
#    then the program ends.
folder=$(install_programs 'C:\Bez traypop' trayflush)
WINEDEBUG=-all timeout 60 wine "$folder/trayflush.exe" &
flush=$!
check "the box for d is shown" uidriver wait 'Błąd' 10000
expect_eq "it names the missing file" "Nie mogę znaleźć pliku: C:\\Bez traypop\\traypop.exe" \
  "$(box_text 'Błąd')"
sleep 2 # four timer intervals: none of them may end the program while the box is open
check "the box for d outlives several ticks" uidriver wait 'Błąd' 100
check "trayflush still runs behind it" running 'trayflush[.]exe'
check "the box for d is dismissed" uidriver dismiss 'Błąd' OK
check "then the box for f" uidriver wait 'Błąd' 10000
check "the box for f is dismissed" uidriver dismiss 'Błąd' OK
check "trayflush ends after the last box" wait_until 10 not_running 'trayflush[.]exe'
check "no further box" bash -c "[ \"\$(uidriver count 'Błąd')\" = 0 ]"
wait "$flush" || true

# -- No disc anywhere: nothing is opened, nothing is shown, and the program ends by itself. Its
#    drive list comes from the letters alone: no volume label or network name is ever asked for
#    (that would make a floppy seek, spin a disc up, or wait on the network), while every
#    drive's type is (the trace's own check that it traces).
cd_drive d empty
cd_drive f empty
folder=$(install_programs 'C:\Zelvo' trayflush traypop)
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /f /d \
  'GetVolumeInformationW;GetVolumeInformationA;GetVolumeNameForVolumeMountPointW;WNetGetConnectionW;WNetGetConnectionA;GetDriveTypeW' \
  >/dev/null 2>&1
log=$WINEPREFIX/nodisc.log
WINEDEBUG=+relay,+mci timeout 30 wine "$folder/trayflush.exe" 2>"$log"
calls=$(grep -oE 'Call [A-Za-z0-9_]+[.][A-Za-z0-9_]+' "$log" | sed 's/^Call [^.]*[.]//' | sort -u | tr '\n' ' ')
expect_eq "only drive types were asked for" "GetDriveTypeW " "$calls"
expect_eq "no tray was opened" "" "$(mci_commands "$log")"
expect_eq "trayflush ended by itself, having shown nothing" "0|0" \
  "$(prefix_pids 'trayflush[.]exe' | wc -l)|$(uidriver count 'Błąd')"
