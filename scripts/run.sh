#!/usr/bin/env bash
# The main job: builds the suite and runs it under Wine on simulated CD drives, then the Linux
# programs on simulated optical drives, showing what each program did. Its Wine prefix is
# removed at the end; the logs and the screenshots stay in build/demo.
source "$(dirname "$0")/scratch_session.sh" demo
root=$ZELVO_WINE_ROOT
cd_drive d disc
cd_drive e empty
cd_drive f disc
network_drive g
folder=$(install_programs 'C:\Program Files\Zelvo CD' traypop trayflush traywatch konfigurator)
warm_up
echo "Simulated drives: C: fixed, D: CD with a disc, E: CD without a disc, F: CD with a disc, G: network"
echo "Programs installed in C:\\Program Files\\Zelvo CD"

show_mci() {
  mci_commands "$1" | sed 's/^/    MCI: /'
  local opened
  opened=$(mci_commands "$1" | sed -n 's/^set Drive\(.\) door open$/\1:/p' | tr '\n' ' ')
  echo "    trays opened: ${opened:-none}"
}

echo
echo "== traypop F, started by hand"
WINEDEBUG=+mci timeout 20 wine "$folder/traypop.exe" F 2>"$root/traypop.log" || true
show_mci "$root/traypop.log"

echo
echo "== trayflush, as the start-up list starts it at logon"
started=$(date +%s%N)
WINEDEBUG=+mci timeout 30 wine "$folder/trayflush.exe" 2>"$root/trayflush.log" || true
echo "    trayflush ended after $((($(date +%s%N) - started) / 1000000)) ms"
wait_for_doors "$root/trayflush.log" 2
show_mci "$root/trayflush.log"

echo
echo "== traywatch waits invisibly; then the session ends (wineboot --end-session)"
WINEDEBUG=+mci wine "$folder/traywatch.exe" 2>"$root/traywatch.log" &
wait_until 15 bash -c '[ "$(uidriver count Kolvan)" = 1 ]' || true
echo "    waiting: hidden window $(uidriver count Kolvan), visible $(uidriver count Kolvan visible)"
timeout 60 wineboot --end-session >/dev/null 2>&1 || true
wait_until 15 not_running 'traywatch[.]exe' && echo "    traywatch has ended"
wait_for_doors "$root/traywatch.log" 1
show_mci "$root/traywatch.log"

echo
echo "== konfigurator: the settings window"
window='Konfigurator programu zelvo CD'
WINEDEBUG=+mci wine "$folder/konfigurator.exe" 2>"$root/konfigurator.log" &
window_picture "$window" "$root/konfigurator.png"
echo "    screenshot: $root/konfigurator.png"
uidriver describe "$window" | sed 's/^/    /'
echo "    ticking both boxes and saving"
uidriver click "$window" 'Wysuwaj tacki teraz' >/dev/null
uidriver click "$window" 'Wysuwaj tacki przy zamykaniu windows' >/dev/null
uidriver click "$window" 'Zapisz ustawienia' >/dev/null
uidriver wait 'Zelvo CD - konfigurator' 10000 >/dev/null || true
echo "    message: $(box_text 'Zelvo CD - konfigurator')"
uidriver dismiss 'Zelvo CD - konfigurator' OK >/dev/null || true
wait_until 10 not_running 'konfigurator[.]exe' && echo "    konfigurator has ended"
echo "    the start-up list now holds:"
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' 2>/dev/null | tr -d '\r' |
  sed -n 's/^    /      /p'
running 'traywatch[.]exe' && echo "    the save started traywatch at once: it waits for this session's end"

echo
echo "== a restart (wineboot --end-session): the session ends, then a logon starts the start-up list"
WINEDEBUG=+mci timeout 60 wineboot --end-session 2>"$root/logon.log" || true
wait_for_doors "$root/konfigurator.log" 1
echo "    traywatch, at the session's end:"
show_mci "$root/konfigurator.log"
wait_until 15 running 'traywatch[.]exe' && echo "    after the logon traywatch waits again"
wait_for_doors "$root/logon.log" 2
echo "    trayflush, at the logon:"
show_mci "$root/logon.log"

echo
echo "== the release, for a Windows user"
for file in build/release/zelvo-cd-*-win64.zip build/release/zelvo-cd-*-setup.exe; do
  printf '    %s (%d bytes)\n' "$file" "$(stat -c %s "$file")"
done
unzip -l build/release/zelvo-cd-*-win64.zip | sed -n 's/^ *[0-9]\+ \+[0-9-]\+ [0-9:]\+ \+/      /p'

echo
echo "== Linux: the suite built for Linux, on simulated optical drives (umockdev)"
ZELVO_LINUX_BIN=$ZELVO_SOURCE/build/linux/bin ZELVO_LINUX_SCRATCH=$root \
  /usr/bin/python3 tests/linux/demo.py "$root" | sed 's/^/    /'

echo
echo "== the release, for a Debian user"
deb=$(ls build/release/zelvo-cd_*_amd64.deb)
printf '    %s (%d bytes), lintian: %s\n' "$deb" "$(stat -c %s "$deb")" \
  "$(lintian "$deb" 2>/dev/null | grep -c '^[EW]:' || true) errors and warnings"
dpkg-deb --field "$deb" Depends Recommends | sed 's/^/    /'
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print "      " substr($0, index($0, "./") + 1)}'
