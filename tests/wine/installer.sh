#!/usr/bin/env bash
# The per-user installer under Wine, as a user meets it: a silent install without elevation
# that shows the suite's icon and name, start-up values written from the installed folder, a
# session's end and a logon, an upgrade while traywatch waits, an interactive install over a file
# in use; a newer release and the registered silent uninstall over that file in use and installs
# into folders too long for Windows, which fail and change nothing; the registered silent
# uninstall while traywatch waits, which removes all that is the suite's and nothing else before
# it returns, then an install beside another copy's waiting traywatch. Only the session's end
# and the logon open a tray.
source "$(dirname "$0")/lib.sh"
setup=$(ls "$ZELVO_RELEASE"/zelvo-cd-*-setup.exe)
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
icon=$(dirname "$0")/../../resources/zelvo.ico
new_prefix installer
cd_drive d disc
warm_up

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD'
unix_path() { winepath -u "$1" 2>/dev/null; }
# Every run that may start a launcher traces MCI into one log, which the launchers' traypop
# inherits: a tray opened where none may shows there.
trace=$WINEPREFIX/mci.log
traced() { WINEDEBUG=+mci "$@" 2>>"$trace"; }
doors() { mci_commands "$trace" | grep -c 'door open' || true; }
# Doors counted once no traypop runs any more.
doors_after_traypop() {
  wait_until 10 not_running 'traypop[.]exe' || true
  doors
}
# one_watcher_waits: within a deadline, exactly one traywatch window (title "Kolvan") exists; a
# process just started may not have made it yet.
one_watcher_waits() { wait_until 10 bash -c '[ "$(uidriver count Kolvan)" = 1 ]'; }
# watcher_ended PID: that traywatch is gone (a zombie no one has reaped yet counts as gone).
watcher_ended() { ! prefix_pids 'traywatch[.]exe' | grep -qx "$1"; }

# -- A silent install, the suite's icon and name on the installer and the uninstaller.
expect_eq "a silent install succeeds" 0 "$(exit_status timeout 120 wine "$setup" /S)"
local_appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
installed="$local_appdata\\Programs\\Zelvo CD"
dir=$(unix_path "$installed")
expect_eq "installed: the programs, the guide, the licence, the uninstaller, the record" \
  "LICENCJA.txt PRZEWODNIK.html konfigurator.exe odinstaluj.exe trayflush.exe traypop.exe traywatch.exe zelvo-cd.ini" \
  "$(cd "$dir" && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')"
check "the guide carries its pictures" grep -q 'src="data:image/png;base64,' "$dir/PRZEWODNIK.html"
# The programs hold their texts in UTF-16, the guide in UTF-8.
placeholder="example.invalid|$(printf %s example.invalid | sed 's/./&\\x00/g')"
expect_eq "no installed file names a placeholder address" "" "$(grep -rlaiP "$placeholder" "$dir" || true)"
programs=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
shortcut=$(unix_path "$programs\\Zelvo CD\\Konfigurator Zelvo CD.lnk")
check "Start-menu shortcut to the configurator" test -f "$shortcut"
size_kb=$((($(cat "$dir"/* | wc -c) + 1023) / 1024))
expect_eq "the registered size is the installed files' size" "$size_kb" \
  "$(($(reg_value "$uninstall_key" EstimatedSize)))"
expect_eq "registered for uninstall, run in place" "\"$installed\\odinstaluj.exe\" _?=$installed" \
  "$(reg_value "$uninstall_key" UninstallString)"
for program in "$setup" "$dir/odinstaluj.exe"; do
  check "${program##*/} shows the suite's icon" uidriver icon "$program" "$icon"
  check "${program##*/} is DPI-aware" grep -q 'dpiAware[^>]*>true<' <<<"$(uidriver resources "$program")"
  expect_eq "${program##*/} carries the suite's name" "Zelvo CD" \
    "$(uidriver resources "$program" | awk -F'|' '$2 == "ProductName" {print $3}')"
done

# -- The configurator from the installed folder: tick both, save; the save starts traywatch.
# That traywatch stands for an older build, so that the upgrade below shows it replaced it.
echo "an older build" >>"$dir/traywatch.exe"
traced wine "$dir/konfigurator.exe" &
check "the configurator opens" uidriver wait 'Konfigurator programu zelvo CD' 15000
uidriver click 'Konfigurator programu zelvo CD' 'Wysuwaj tacki teraz' >/dev/null
uidriver click 'Konfigurator programu zelvo CD' 'Wysuwaj tacki przy zamykaniu windows' >/dev/null
wait_until 5 bash -c "[ \"\$(uidriver check 'Konfigurator programu zelvo CD' 'Wysuwaj tacki przy zamykaniu windows')\" = 1 ]" || true
uidriver click 'Konfigurator programu zelvo CD' 'Zapisz ustawienia' >/dev/null
check "the save is confirmed" uidriver dismiss 'Zelvo CD - konfigurator' OK
check "the configurator ends" wait_until 10 not_running 'konfigurator[.]exe'
expect_eq "WysuwajTeraz holds the quoted installed path" "\"$installed\\trayflush.exe\"" \
  "$(reg_value "$run_key" WysuwajTeraz)"
expect_eq "WysuwajPotem holds the quoted installed path" "\"$installed\\traywatch.exe\"" \
  "$(reg_value "$run_key" WysuwajPotem)"
check "traywatch waits after the save" wait_until 15 running 'traywatch[.]exe'

# -- A restart: wineboot --end-session ends the session (the waiting traywatch opens D) and logs
# on again, when the start-up list starts trayflush (which opens D) and traywatch, from the
# installed folder.
save_watcher=$(prefix_pids 'traywatch[.]exe')
traced timeout 60 wineboot --end-session >/dev/null || true
check "the session's end ends the waiting traywatch" wait_until 15 watcher_ended "$save_watcher"
check "traywatch waits after the logon" wait_until 15 running 'Programs.Zelvo CD.traywatch[.]exe'
check "trayflush ends after the logon" wait_until 15 not_running 'trayflush[.]exe'
expect_eq "the session's end and the logon each opened D" 2 "$(doors_after_traypop)"

# -- An upgrade while traywatch waits replaces it and starts the new one, opening no tray.
old_watcher=$(prefix_pids 'traywatch[.]exe')
expect_eq "a silent upgrade succeeds" 0 "$(exit_status traced timeout 120 wine "$setup" /S)"
check "the waiting traywatch was replaced on disk" cmp -s "$ZELVO_BIN/traywatch.exe" "$dir/traywatch.exe"
check "the old traywatch has ended" watcher_ended "$old_watcher"
check "the new traywatch waits, from the installed folder" \
  wait_until 15 running 'Programs.Zelvo CD.traywatch[.]exe'
check "one traywatch waits" one_watcher_waits
expect_eq "the upgrade keeps WysuwajTeraz" "\"$installed\\trayflush.exe\"" "$(reg_value "$run_key" WysuwajTeraz)"
expect_eq "the upgrade opened no tray" 2 "$(doors_after_traypop)"

# -- Over a file in use (the configurator is open): the interactive installer names the file
# and ends with 2 on Cancel; a silent one exits with 2. The watch goes on.
traced wine "$dir/konfigurator.exe" &
check "the configurator opens again" uidriver wait 'Konfigurator programu zelvo CD' 15000
traced wine "$setup" &
interactive=$!
# The installer's window carries a blank after its title; its message boxes do not.
check "the installer's window opens" uidriver wait 'Instalator Zelvo CD ' 15000
page=$(uidriver describe 'Instalator Zelvo CD ')
check "its branding line is the suite's name and version" grep -q "^control|Static|Zelvo CD $version|" <<<"$page"
check "the folder page shows the size needed" grep -q "|Wymagane miejsce: $size_kb[.]0 KB|" <<<"$page"
expect_eq "no toolkit branding" 0 "$(grep -ci nullsoft <<<"$page" || true)"
uidriver click 'Instalator Zelvo CD ' 'Zainstaluj' >/dev/null
check "the installer names the file in use" \
  wait_until 15 bash -c "uidriver describe 'Instalator Zelvo CD' | grep -q 'Zelvo CD.konfigurator[.]exe'"
check "Cancel ends the installation" uidriver dismiss 'Instalator Zelvo CD' Cancel
uidriver click 'Instalator Zelvo CD ' 'Anuluj' >/dev/null
check "the interactive installer ends" wait_until 15 bash -c "! kill -0 $interactive 2>/dev/null"
status=0
wait "$interactive" || status=$?
expect_eq "with exit code 2" 2 "$status"

# -- Still over that file, a newer release (every file differs) and the registered silent
# uninstall exit with 2; then, the file closed (so that only the folder can fail them), installs
# into folders whose programs Windows would not start (300 and 1,100 characters) do too. None
# changes anything, and the watch goes on.
newer=$(newer_release)
installation() {
  (cd "$dir" && sha256sum -- *)
  wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r'
  wine reg query "$run_key" 2>/dev/null | tr -d '\r'
  ls "$(dirname "$shortcut")"
}
before=$(installation)
# The registered command as Windows runs it: the program, then the rest of the line as it is
# (wine joins the words with one blank again; none needs quotes).
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
uninstaller=${quiet#\"}
uninstaller=${uninstaller%%\"*}
read -ra quiet_args <<<"${quiet#\"*\" }"
long='C:\zbyt-dlugi-folder'
while [ ${#long} -lt 1100 ]; do long+='\kolejny-poziom-folderow'; done
statuses=$(
  exit_status traced timeout 120 wine "$newer" /S
  exit_status traced timeout 120 wine "$uninstaller" "${quiet_args[@]}"
  uidriver close 'Konfigurator programu zelvo CD' >/dev/null # the close box writes nothing
  wait_until 10 not_running 'konfigurator[.]exe' || true
  exit_status traced timeout 120 wine "$setup" /S "/D=${long:0:300}"
  exit_status traced timeout 120 wine "$setup" /S "/D=$long"
)
expect_eq "the newer release, the uninstall and the long folders exit with 2" "2 2 2 2" \
  "${statuses//$'\n'/ }"
expect_eq "nothing changed: files, registration, start-up values, shortcut" "$before" "$(installation)"
check "no long folder was made" test ! -e "$WINEPREFIX/drive_c/zbyt-dlugi-folder"
check "traywatch waits after the failed installs" wait_until 15 running 'traywatch[.]exe'
check "one traywatch waits" one_watcher_waits
check "the configurator has ended" not_running 'konfigurator[.]exe'
expect_eq "the failed installs opened no tray" 2 "$(doors_after_traypop)"

# -- Uninstall while traywatch waits: the suite's value that starts another copy (unpacked into a
# subfolder of the installation), and an unrelated value, stay; the value that starts this
# installation's program, spelled another way, and everything else go, traywatch included, and
# no tray opens.
copy="$installed\Kopia\traywatch.exe"
wine reg add "$run_key" /v WysuwajPotem /d "\"$copy\"" /f >/dev/null 2>&1
wine reg add "$run_key" /v WysuwajTeraz /d "${installed^^}\.\\TRAYFLUSH.EXE" /f >/dev/null 2>&1
wine reg add "$run_key" /v InnyProgram /d 'C:\Inny\program.exe' /f >/dev/null 2>&1
expect_eq "the registered silent uninstall succeeds" 0 \
  "$(exit_status traced timeout 120 wine "$uninstaller" "${quiet_args[@]}")"
expect_eq "having removed the registration" "" "$(reg_value "$uninstall_key" UninstallString)"
check "traywatch has ended" wait_until 10 not_running 'traywatch[.]exe'
# Only the uninstaller's own file and the folder go after it has ended.
check "the folder goes" wait_until 10 test ! -e "$dir"
left=$(
  find "$dir" "$(dirname "$shortcut")" 2>/dev/null || true
  wine reg query "$run_key" 2>/dev/null | tr -d '\r' | grep -F "$installed" | grep -vF "$copy" || true
)
expect_eq "nothing of the installation is left" "" "$left"
expect_eq "WysuwajTeraz (this installation's) is removed" "" "$(reg_value "$run_key" WysuwajTeraz)"
expect_eq "WysuwajPotem starting another copy stays" "\"$copy\"" "$(reg_value "$run_key" WysuwajPotem)"
expect_eq "an unrelated start-up value stays" 'C:\Inny\program.exe' "$(reg_value "$run_key" InnyProgram)"
expect_eq "the uninstall opened no tray" 2 "$(doors_after_traypop)"

# -- Another copy's traywatch keeps waiting through an install: the installer stops only the one
# that holds its files.
other=$(install_programs 'C:\Inny folder' traywatch traypop)
traced wine "$other/traywatch.exe" &
check "another copy's traywatch waits" one_watcher_waits
other_watcher=$(prefix_pids 'traywatch[.]exe')
expect_eq "an install beside it succeeds" 0 "$(exit_status traced timeout 120 wine "$setup" /S)"
check "and leaves it waiting" bash -c "prefix_pids 'traywatch[.]exe' | grep -qx '$other_watcher'"
check "alone" one_watcher_waits
expect_eq "the install opened no tray" 2 "$(doors_after_traypop)"
