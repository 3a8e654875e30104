#!/usr/bin/env bash
# Makes the user guide's pictures from the real suite: the settings window of konfigurator.exe
# as it opens with both functions switched on, drawn by Wine on a virtual display, and the
# suite's icon. Writes packaging/guide/*.png, which the repository keeps, so that a release is
# built without Wine; run it again when the window or the icon changes.
source "$(dirname "$0")/scratch_session.sh" guide
pictures=$ZELVO_SOURCE/packaging/guide
mkdir -p "$pictures"
installed='C:\Program Files\Zelvo CD'
folder=$(install_programs "$installed" traypop trayflush traywatch konfigurator)
warm_up

run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine reg add "$run_key" /v WysuwajTeraz /d "\"$installed\\trayflush.exe\"" /f >/dev/null 2>&1
wine reg add "$run_key" /v WysuwajPotem /d "\"$installed\\traywatch.exe\"" /f >/dev/null 2>&1

window='Konfigurator programu zelvo CD'
wine "$folder/konfigurator.exe" >/dev/null 2>&1 &
window_picture "$window" "$pictures/konfigurator.png"
[ "$(uidriver check "$window" 'Wysuwaj tacki przy zamykaniu windows')" = 1 ] ||
  { echo "the window did not open with both functions on" >&2; exit 1; }
uidriver close "$window" >/dev/null # the close box writes nothing
wait_until 10 not_running 'konfigurator[.]exe'

convert "$ZELVO_SOURCE/resources/zelvo.ico[0]" -strip "$pictures/zelvo.png"
for picture in "$pictures"/*.png; do
  echo "$picture: $(identify -format '%w x %h' "$picture")"
done

# The same window on a Linux desktop, from the Linux build.
ZELVO_LINUX_BIN=$ZELVO_SOURCE/build/linux/bin ZELVO_LINUX_SCRATCH=$ZELVO_WINE_ROOT \
  /usr/bin/python3 "$ZELVO_SOURCE/tests/linux/guide_picture.py" "$pictures/konfigurator-linux.png"
