#!/usr/bin/env bash
# konfigurator under Wine, used as a user would: the boxes show the start-up list, a save writes
# one entry and deletes the other, confirms and ends, and the session follows the watcher setting
# at once (one traywatch started, or the waiting one stopped, and no tray opens); WWW opens the
# guide beside the program and changes nothing; the close box writes nothing; a lone
# konfigurator.exe (opened from inside the zip) writes no entry and names the missing files; the
# other values under the Run key are never touched.
source "$(dirname "$0")/lib.sh"
new_prefix konfigurator
cd_drive d disc
warm_up
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
window='Konfigurator programu zelvo CD'
box='Zelvo CD - konfigurator'
now='Wysuwaj tacki teraz'
at_shutdown='Wysuwaj tacki przy zamykaniu windows'
folder=$(install_programs 'C:\Narzędzia\Żółw' konfigurator trayflush traywatch traypop)
echo '<html><body>Przewodnik</body></html>' >"$folder/PRZEWODNIK.html"
# Every konfigurator and what it starts trace their MCI commands here: no tray may open.
mci_log=$WINEPREFIX/mci.log

# The values under the Run key, one "name=data" a line, sorted. Read through a UTF-16 export,
# since `reg query` prints in the console code page and would garble the Polish letters.
run_values() {
  local file=$MEDIA/run.reg
  rm -f "$file"
  wine reg export "$run_key" "$(winepath -w "$file")" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r' | perl -ne '
    next unless /^"((?:[^"\\]|\\.)*)"=(.*)$/;
    my ($name, $data) = ($1, $2);
    $data =~ s/^"(.*)"$/$1/;
    s/\\(.)/$1/g for ($name, $data);
    print "$name=$data\n";' | sort
}

start_konfigurator() {
  WINEDEBUG=+mci wine "${1:-$folder}/konfigurator.exe" 2>>"$mci_log" &
  uidriver wait "$window" 15000 >/dev/null
}
save() {
  uidriver click "$window" 'Zapisz ustawienia' >/dev/null
  uidriver wait "$box" 10000 >/dev/null
}
watchers() { prefix_pids 'traywatch[.]exe' | wc -l; }
boxes() { echo "$(uidriver check "$window" "$now") $(uidriver check "$window" "$at_shutdown")"; }
ended() { wait_until 10 not_running 'konfigurator[.]exe'; }

# WWW goes to the default browser; here that is a script that notes the address it was given.
# Pages open with it as on any Windows, where .html files belong to the browser.
wine reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null 2>&1
browser=$MEDIA/browser.sh
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$MEDIA/opened.txt" >"$browser"
chmod +x "$browser"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$browser" /f >/dev/null 2>&1

wine reg add "$run_key" /v Inny /d 'C:\Inny program\inny.exe -x' /f >/dev/null 2>&1
wine reg add "$run_key" /v Liczba /t REG_DWORD /d 7 /f >/dev/null 2>&1
wine reg add "$run_key" /v WysuwajPotem /d 'D:\stare\traywatch.exe' /f >/dev/null 2>&1
others="Inny=C:\\Inny program\\inny.exe -x
Liczba=dword:00000007"

# -- Loading: only the second entry is there.
check "the window opens" start_konfigurator
expect_eq "the boxes show the start-up list" "0 1" "$(boxes)"

# -- WWW: the configured address, or else the guide beside the program, reaches the browser;
#    the window stays as it was.
address=$(strings -el "$ZELVO_BIN/konfigurator.exe" | grep -m1 -oE 'https?://.*' || true)
# As winebrowser hands a local page on: a file URL of its path through the drive, escaped.
guide=file://$(winepath -u 'C:\Narzędzia\Żółw\PRZEWODNIK.html' 2>/dev/null |
  perl -pe 'chomp; s{([^A-Za-z0-9/._:~-])}{sprintf("%%%02X", ord($1))}ge')
check "WWW is clicked" uidriver click "$window" WWW
check "the browser is asked to open a page" wait_until 10 test -s "$MEDIA/opened.txt"
expect_eq "it is the maker's page or the guide" "${address:-$guide}" "$(cat "$MEDIA/opened.txt")"
expect_eq "the window stays open" 1 "$(uidriver count "$window" visible)"
expect_eq "the boxes are as they were" "0 1" "$(boxes)"
expect_eq "nothing is written" "$others
WysuwajPotem=D:\\stare\\traywatch.exe" "$(run_values)"

# -- Tick the first, clear the second, save.
uidriver click "$window" "$now" >/dev/null
uidriver click "$window" "$at_shutdown" >/dev/null
expect_eq "the boxes follow the clicks" "1 0" "$(boxes)"
check "Zapisz ustawienia is clicked" uidriver click "$window" 'Zapisz ustawienia'
check "the confirmation is shown" uidriver wait "$box" 10000
expect_eq "with its text" "Ustawienia zostały zapisane" "$(box_text "$box")"
saved="$others
WysuwajTeraz=C:\\Narzędzia\\Żółw\\trayflush.exe"
expect_eq "the first entry is written, the second deleted, the others untouched" \
  "$saved" "$(run_values)"
check "the program waits for OK" running 'konfigurator[.]exe'
check "OK dismisses the confirmation" uidriver dismiss "$box" OK
check "then the program ends" ended
expect_eq "no box is left behind" 0 "$(uidriver count "$box")"
check "ticking 'teraz' started nothing" not_running 'tray(flush|watch)[.]exe'

# -- The close box writes nothing.
check "the window opens again" start_konfigurator
expect_eq "showing what was saved" "1 0" "$(boxes)"
uidriver click "$window" "$now" >/dev/null
uidriver click "$window" "$at_shutdown" >/dev/null
check "the window is closed" uidriver close "$window"
check "the program ends" ended
expect_eq "nothing is written on close" "$saved" "$(run_values)"

# -- A present entry of any length counts: a path of 600 characters.
long_path="C:\\$(printf 'd%.0s' $(seq 600))\\traywatch.exe"
wine reg add "$run_key" /v WysuwajPotem /d "$long_path" /f >/dev/null 2>&1
check "the window opens with a long entry" start_konfigurator
expect_eq "the long entry ticks its box" "1 1" "$(boxes)"
uidriver close "$window" >/dev/null
ended

# -- No Run key at all: nothing is ticked, and a save makes the key.
wine reg delete "$run_key" /f >/dev/null 2>&1
check "the window opens without a Run key" start_konfigurator
expect_eq "nothing is ticked" "0 0" "$(boxes)"
uidriver click "$window" "$now" >/dev/null
uidriver click "$window" "$at_shutdown" >/dev/null
check "the confirmation is shown" save
expect_eq "it confirms the save" "Ustawienia zostały zapisane" "$(box_text "$box")"
check "the watcher is started at once, before OK" wait_until 10 running 'traywatch[.]exe'
uidriver dismiss "$box" OK >/dev/null
check "the program ends" ended
both="WysuwajPotem=C:\\Narzędzia\\Żółw\\traywatch.exe
WysuwajTeraz=C:\\Narzędzia\\Żółw\\trayflush.exe"
expect_eq "the key is made with both entries" "$both" "$(run_values)"
check "one traywatch waits, hidden" wait_until 10 bash -c '[ "$(uidriver count Kolvan)" = 1 ]'

# -- Saved again with the box still ticked: never a second copy, never its "already waiting" box.
check "the window opens with both ticked" start_konfigurator
check "the second save is confirmed" save
uidriver dismiss "$box" OK >/dev/null
ended
sleep 1 # a second copy would be starting now; give it the time it would take
expect_eq "still exactly one traywatch" 1 "$(watchers)"
expect_eq "and no box of its" 0 "$(uidriver count 'Błąd')"

# -- The box cleared: the waiting traywatch is stopped quietly.
check "the window opens" start_konfigurator
uidriver click "$window" "$at_shutdown" >/dev/null
check "the save with the box cleared is confirmed" save
check "the waiting traywatch is gone" wait_until 10 not_running 'traywatch[.]exe'
uidriver dismiss "$box" OK >/dev/null
ended
expect_eq "only WysuwajTeraz is left" "WysuwajTeraz=C:\\Narzędzia\\Żółw\\trayflush.exe" "$(run_values)"
expect_eq "no tray was opened by any of it" "" "$(mci_commands "$mci_log")"

# -- A lone konfigurator.exe, as Explorer extracts it when it is opened from inside the zip:
#    nothing is written for a ticked box, and the box names the missing files.
lone=$(install_programs 'C:\Temp\Temp1_zelvo-cd.zip' konfigurator)
check "the lone konfigurator opens" start_konfigurator "$lone"
uidriver click "$window" "$at_shutdown" >/dev/null
check "its save says what is missing" save
expect_eq "it names the missing files and asks for the whole folder" \
  "Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo-cd.zip\\trayflush.exe
Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo-cd.zip\\traypop.exe
Nie mogę znaleźć pliku: C:\\Temp\\Temp1_zelvo-cd.zip\\traywatch.exe

Ustawienia „Wysuwaj tacki teraz” i „Wysuwaj tacki przy zamykaniu windows” nie zostały zapisane. Rozpakuj cały folder Zelvo CD i uruchom konfigurator z rozpakowanego folderu." \
  "$(box_text "$box")"
uidriver dismiss "$box" OK >/dev/null
check "then it ends" ended
expect_eq "nothing was written" "WysuwajTeraz=C:\\Narzędzia\\Żółw\\trayflush.exe" "$(run_values)"
check "and nothing was started" not_running 'traywatch[.]exe'
