#!/usr/bin/env bash
# konfigurator's window as drawn: at 96 DPI a client of 312 x 183 pixels with every control where
# the design puts it, at 144 DPI the same design scaled, texts that fit their controls in the
# dialog font, a fixed frame with only the close box, centred on the screen. Screenshots are kept
# under the Wine root's screenshots/ folder for a look.
source "$(dirname "$0")/lib.sh"
new_prefix konfigurator_window
warm_up
window='Konfigurator programu zelvo CD'
label='Programy które dodajesz do autostartu wysuwają tackę napędu CD, jeśli w środku jest płyta. Jeden z programów to robi przy starcie systemu a drugi przy zamykaniu windows (jedyny warunek jest taki, że należy dodać te programy do autostartu aby działały)'
folder=$(install_programs 'C:\Zelvo' konfigurator)
screenshots=$ZELVO_WINE_ROOT/screenshots
mkdir -p "$screenshots"

# Twips to pixels at $dpi, rounded as the window rounds them.
px() { echo $((($1 * dpi + 720) / 1440)); }

# The design in twips: kind, text, and left, top, width, height on the window (the check boxes'
# positions within the frame added to the frame's).
design='Button|Dodaj do autostartu programy:|120|120|4455|855|101
Button|Wysuwaj tacki teraz|240|360|3615|255|102
Button|Wysuwaj tacki przy zamykaniu windows|240|600|3495|255|103
Static|'"$label"'|120|1080|4335|1095|104
Button|Zapisz ustawienia|120|2280|1935|375|105
Button|WWW|2640|2280|1935|375|106'

expected_description() {
  echo "window|$window|client $(px 4680) x $(px 2745)|visible 1|minimize 0|maximize 0|sizing 0"
  while IFS='|' read -r kind text left top width height id; do
    echo "control|$kind|$text|$(px "$left"),$(px "$top"),$(px "$width"),$(px "$height")|id $id|check 0"
  done <<<"$design"
}

# fits TEXT ROOM: the control's text needs no more than ROOM ("W H") in the control's own font.
fits() {
  local needed
  needed=$(uidriver extent "$window" "$1")
  local width=${needed% x *} height=${needed#* x }
  [ "$width" -le "${2% *}" ] && [ "$height" -le "${2#* }" ]
}

look_at() {
  dpi=$1
  echo "-- at $dpi DPI"
  wine "$folder/konfigurator.exe" &
  check "the window opens" uidriver wait "$window" 15000
  expect_eq "the window and its controls, in tab order, where the design puts them" \
    "$(expected_description)" "$(uidriver describe "$window")"

  # A check box's text starts after the box and its gap, 16 pixels at 96 DPI.
  local box=$(((16 * dpi + 48) / 96))
  check "the paragraph fits its label" fits "$label" "$(px 4335) $(px 1095)"
  check "Check1's text fits" fits 'Wysuwaj tacki teraz' "$(($(px 3615) - box)) $(px 255)"
  check "Check2's text fits" fits 'Wysuwaj tacki przy zamykaniu windows' \
    "$(($(px 3495) - box)) $(px 255)"
  check "Frame1's caption fits" fits 'Dodaj do autostartu programy:' "$(px 4455) $(px 855)"
  check "Command1's caption fits" fits 'Zapisz ustawienia' "$(px 1935) $(px 375)"

  local shot=$screenshots/konfigurator-${dpi}dpi.png width height left top colours
  import -display "$DISPLAY" -window root "$shot"
  echo "screenshot: $shot"
  # The root window is the screen; on its black, what is not black is the window and its frame.
  local screen_width screen_height
  read -r screen_width screen_height < <(identify -format '%w %h\n' "$shot")
  read -r width height left top < <(convert "$shot" -trim -format '%w %h %X %Y\n' info: | tr -d '+')
  echo "window on screen: ${width}x${height} at $left,$top"
  check "the frame adds only borders around the client" \
    test $((width - $(px 4680))) -ge 2 -a $((width - $(px 4680))) -le 16
  check "and a caption above it" \
    test $((height - $(px 2745))) -ge 15 -a $((height - $(px 2745))) -le 60
  check "the window is centred on the screen" \
    test $(((2 * left + width - screen_width) ** 2)) -le 9 -a \
    $(((2 * top + height - screen_height) ** 2)) -le 9
  colours=$(convert "$shot" -crop "${width}x${height}+${left}+${top}" -format '%k' info:)
  check "it is painted: text, icon and caption ($colours colours)" test "$colours" -ge 8

  uidriver close "$window" >/dev/null
  check "the close box ends the program" wait_until 10 not_running 'konfigurator[.]exe'
}

look_at 96

# 150 %: the system DPI is read when the Wine session starts.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
timeout 30 wineserver -k 2>/dev/null || true
timeout 30 wineserver -w 2>/dev/null || true
look_at 144
