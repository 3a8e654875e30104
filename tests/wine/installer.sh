#!/usr/bin/env bash
# The per-user installer under Wine: a silent install without elevation, start-up values
# written from the installed folder, a simulated logon, an upgrade that keeps the user's
# choices, and a silent uninstall that removes only what is the suite's.
source "$(dirname "$0")/lib.sh"
setup=$(ls "$ZELVO_RELEASE"/zelvo-cd-*-setup.exe)
new_prefix installer
cd_drive d disc
warm_up

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD'
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"; }
unix_path() { winepath -u "$1" 2>/dev/null; }

timeout 120 wine "$setup" /S
local_appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
installed="$local_appdata\\Programs\\Zelvo CD"
dir=$(unix_path "$installed")
for file in traypop.exe trayflush.exe traywatch.exe konfigurator.exe PRZEWODNIK.txt LICENCJA.txt; do
  check "installed $file" test -f "$dir/$file"
done
programs=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')'\Microsoft\Windows\Start Menu\Programs'
shortcut=$(unix_path "$programs\\Zelvo CD\\Konfigurator Zelvo CD.lnk")
check "Start-menu shortcut to the configurator" test -f "$shortcut"
expect_eq "registered for uninstall" "\"$installed\\odinstaluj.exe\"" "$(reg_value "$uninstall_key" UninstallString)"

# The configurator from the installed folder: tick both, save.
wine "$dir/konfigurator.exe" &
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

# A simulated logon starts both launchers from there.
WINEDEBUG=+mci timeout 60 wineboot >/dev/null 2>"$WINEPREFIX/logon.log" || true
check "traywatch waits after the logon" wait_until 15 running 'traywatch[.]exe'
check "trayflush opened D at the logon" wait_until 15 grep -q 'set Drived door open' "$WINEPREFIX/logon.log"
timeout 30 wineserver -k || true

# An upgrade in place keeps the start-up values.
timeout 120 wine "$setup" /S
expect_eq "the upgrade keeps WysuwajTeraz" "\"$installed\\trayflush.exe\"" "$(reg_value "$run_key" WysuwajTeraz)"
check "the upgrade keeps the programs" test -f "$dir/konfigurator.exe"

# Uninstall: the suite's value that points elsewhere, and an unrelated value, stay.
wine reg add "$run_key" /v WysuwajPotem /d 'C:\Inny folder\traywatch.exe' /f >/dev/null 2>&1
wine reg add "$run_key" /v InnyProgram /d 'C:\Inny\program.exe' /f >/dev/null 2>&1
# The uninstaller copies itself away and returns at once; wait for its work with a deadline.
timeout 120 wine "$dir/odinstaluj.exe" /S
check "the programs are removed" wait_until 30 test ! -e "$dir/konfigurator.exe"
check "the folder is removed" wait_until 10 test ! -e "$dir"
check "the shortcut is removed" test ! -e "$shortcut"
check "the registration is removed" wait_until 10 bash -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
expect_eq "WysuwajTeraz (this installation's) is removed" "" "$(reg_value "$run_key" WysuwajTeraz)"
expect_eq "WysuwajPotem pointing elsewhere stays" 'C:\Inny folder\traywatch.exe' "$(reg_value "$run_key" WysuwajPotem)"
expect_eq "an unrelated start-up value stays" 'C:\Inny\program.exe' "$(reg_value "$run_key" InnyProgram)"
