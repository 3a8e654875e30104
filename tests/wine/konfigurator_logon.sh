#!/usr/bin/env bash
# What konfigurator saves is what Windows starts: the save starts traywatch at once, which opens
# the drive with a disc when this session ends; the next logon (wineboot) starts trayflush, which
# opens it again, and traywatch, which stays waiting. Also from a folder with blanks, where a
# planted C:\Program.exe would run instead if the programs were not started by their full paths.
source "$(dirname "$0")/lib.sh"
window='Konfigurator programu zelvo CD'
box='Zelvo CD - konfigurator'

# logon_from NAME FOLDER PATTERN: in a prefix of its own, the suite in FOLDER is switched on and
# the user logs on; PATTERN matches the folder in a process's command line.
logon_from() {
  new_prefix "$1"
  cd_drive d disc
  cd_drive e empty
  warm_up
  # An unquoted "C:\Program Files\..." would start this first, and it would open drive F.
  cp "$ZELVO_BIN/traypop.exe" "$WINEPREFIX/drive_c/Program.exe"
  local folder log=$WINEPREFIX/logon.log
  folder=$(install_programs "$2" konfigurator trayflush traywatch traypop)

  local session=$WINEPREFIX/session.log
  WINEDEBUG=+mci wine "$folder/konfigurator.exe" 2>"$session" &
  check "the window opens" uidriver wait "$window" 15000
  uidriver click "$window" 'Wysuwaj tacki teraz' >/dev/null
  uidriver click "$window" 'Wysuwaj tacki przy zamykaniu windows' >/dev/null
  uidriver click "$window" 'Zapisz ustawienia' >/dev/null
  check "the save is confirmed" uidriver dismiss "$box" OK
  check "konfigurator ends" wait_until 10 not_running 'konfigurator[.]exe'
  check "the save started traywatch from the suite's folder" wait_until 15 running "$3traywatch[.]exe"
  check "and not trayflush, which waits for the logon" not_running 'trayflush[.]exe'

  # The session ends as at a shutdown (without --shutdown, wineboot would go on to a logon).
  timeout 60 wineboot --end-session --shutdown >/dev/null 2>&1 || true
  check "traywatch ends with the session" wait_until 15 not_running 'traywatch[.]exe'
  wait_for_doors "$session" 1
  expect_eq "at the session's end it opened D, by the suite's own traypop" \
    "open d: type cdaudio alias Drived wait
set Drived door open" "$(mci_commands "$session")"

  WINEDEBUG=+mci timeout 60 wineboot 2>"$log" || true
  check "the logon starts traywatch from the suite's folder" \
    wait_until 15 running "$3traywatch[.]exe"
  check "the logon starts trayflush, which opens the drive with a disc" \
    wait_until 15 grep -q 'door open' "$log"
  check "trayflush then ends" wait_until 15 not_running 'trayflush[.]exe'
  check "traywatch goes on waiting" running 'traywatch[.]exe'
  expect_eq "only D was opened, by the suite's own traypop" \
    "open d: type cdaudio alias Drived wait
set Drived door open" "$(mci_commands "$log")"
}

# Each in a subshell, whose exit removes its prefix and reports its failures.
while IFS='|' read -r name folder pattern; do
  echo "-- suite in $folder"
  (logon_from "$name" "$folder" "$pattern") || failures=$((failures + 1))
done <<'FOLDERS'
konfigurator_logon|C:\Zelvo|C:.Zelvo.
konfigurator_logon_blanks|C:\Program Files\Zelvo CD|C:.Program Files.Zelvo CD.
FOLDERS
[ "$failures" -eq 0 ]
