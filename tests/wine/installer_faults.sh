#!/usr/bin/env bash
# The installer against what an administrator's script, a full disk and a user's own folder
# bring: /D= values it will not use, a drive too small for it and one that fills up part-way
# (a tmpfs, so run as root), a second installation and a downgrade, a folder spelled another
# way, and the user's files in the chosen folder. Every refusal or failure exits with 2 and
# leaves the earlier state byte for byte (files, registration, start-up values), the watch going.
[ "$(id -u)" = 0 ] || { echo "skipped: the full disk is a tmpfs, which only root mounts"; exit 77; }
source "$(dirname "$0")/lib.sh"
release=$(ls "$ZELVO_RELEASE"/zelvo-cd-*-setup.exe)
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' "$ZELVO_SOURCE/CMakeLists.txt")
new_prefix installer_faults
warm_up
newer=$(newer_release)
newer_version=${version%.*}.$((${version##*.} + 1))

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
c=$WINEPREFIX/drive_c
# A silent run of an installer; a command line with quotes as written, run by cmd from a batch
# file (wine would quote the arguments itself), as Windows runs a registered command.
silent() {
  local setup=$1
  shift
  exit_status timeout 120 wine "$setup" /S "$@"
}
batch() {
  printf '@%s\r\n@exit %%errorlevel%%\r\n' "$1" >"$c/x.cmd"
  exit_status timeout 120 wine cmd /c 'C:\x.cmd'
}
# The folder's files with their sums, the registration and the start-up values.
installation() {
  (cd "$1" && find . -type f -exec sha256sum {} + | LC_ALL=C sort -k2)
  wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r'
  wine reg query "$run_key" 2>/dev/null | tr -d '\r'
}
# same_files DIR RELEASE_DIR: DIR holds exactly that release's files, its uninstaller and record.
same_files() {
  local file
  for file in "$2"/*; do cmp -s "$file" "$1/${file##*/}" || return 1; done
  [ "$(ls "$1" | wc -l)" = $(($(ls "$2" | wc -l) + 2)) ]
}
# An interactive run: the installer's window has a blank after its title, its boxes none.
window='Instalator Zelvo CD '
box='Instalator Zelvo CD'
on_page() { wait_until 30 bash -c "uidriver describe '$window' | grep -q \"|$1|\""; }
box_says() { uidriver wait "$box" 30000 >/dev/null && grep -q "$1" <<<"$(box_text "$box")"; }
# install_interactively SETUP [ARGUMENT...]: the installer run as a user runs it ($interactive is
# its PID), Install clicked once the folder page is up; fails when the page does not come, and
# then says what the installer's window and box show and which Windows programs run.
install_interactively() {
  wine "$@" &
  interactive=$!
  on_page '&Zainstaluj' && uidriver click "$window" 'Zainstaluj' >/dev/null && return 0
  echo "# no folder page; the window: $(uidriver describe "$window" | tr '\n' ' ')"
  echo "# the box: $(uidriver describe "$box" | tr '\n' ' ')"
  what_runs
  return 1
}
what_runs() { echo "# running: $(prefix_pids '[.]exe' | xargs -r ps -o args= -p | tr '\n' ' ')"; }
# left_only DIR ENTRIES: the uninstaller's copy, which ends its work, has left exactly ENTRIES in
# DIR (files and folders from DIR, each followed by a blank); when it has not, says what is
# there and what runs.
left_only() {
  local listing="cd '$1' && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' '"
  wait_until 20 bash -c "[ \"\$($listing)\" = '$2' ]" && return 0
  echo "# left: $(bash -c "$listing")"
  what_runs
  return 1
}
# ended PID: $status is the exit code of that run once it has ended, within a deadline
# ("running" if it has not).
ended() {
  status=0
  wait_until 30 bash -c "! kill -0 $1 2>/dev/null" || { status=running; return; }
  wait "$1" || status=$?
}
# finish PID: the finish page, its box that would start the configurator cleared; $status.
finish() {
  on_page '&Zakończ' && uidriver click "$window" 'Uruchom konfigurator' >/dev/null
  uidriver click "$window" 'Zakończ' >/dev/null
  ended "$1"
}
# new_watcher_waits PID: one traywatch waits, and it is not PID, which the installation stopped.
new_watcher_waits() {
  wait_until 15 bash -c "[ \"\$(prefix_pids 'traywatch[.]exe' | grep -vx '$1' | wc -l)\" = 1 ] &&
    [ \"\$(prefix_pids 'traywatch[.]exe' | wc -l)\" = 1 ]"
}

# -- /D= values the installer will not use end with 2 and nothing written anywhere: relative,
# forward slashes, a drive's root (also through ".."), a network path, and what NSIS itself
# would not read (quoted either way, or in small letters).
setup_path=$(winepath -w "$release" 2>/dev/null)
statuses=$(
  for folder in 'Narzedzia' 'C:/Narzedzia/Zelvo' 'C:\' 'C:\Narzedzia\..\..' '\\serwer\udzial\Zelvo'; do
    silent "$release" "/D=$folder"
  done
  batch "\"$setup_path\" /S /D=\"C:\\Narzedzia\\Zelvo\""
  batch "\"$setup_path\" /S \"/D=C:\\Narzedzia\\Zelvo CD\""
  batch "\"$setup_path\" /S /d=C:\\Narzedzia\\Zelvo"
)
expect_eq "every unusable /D= ends with 2" "2 2 2 2 2 2 2 2" "${statuses//$'\n'/ }"
expect_eq "nothing written: no folder, no registration" "" "$(
  ls -d "$c/Narzedzia" "$c"/users/*/AppData/Local/Programs/Zelvo* 2>/dev/null || true
  reg_value "$uninstall_key" InstallLocation
)"

# -- A drive too small for a fresh installation: refused before anything is written.
y=$(small_drive y 200k)
expect_eq "a fresh install onto a too small drive ends with 2" 2 "$(silent "$release" '/D=Y:\Zelvo')"
expect_eq "and leaves nothing" "" "$(ls -A "$y"; reg_value "$uninstall_key" InstallLocation)"
mount -o remount,size=600k "$y"
expect_eq "with room it installs" 0 "$(silent "$release" '/D=Y:\Zelvo')"
wine reg add "$run_key" /v WysuwajPotem /d 'Y:\Zelvo\traywatch.exe' /f >/dev/null 2>&1
wine 'Y:\Zelvo\traywatch.exe' &
check "its traywatch waits" wait_until 15 running 'traywatch[.]exe'
first_watcher=$(prefix_pids 'traywatch[.]exe')
before=$(installation "$y")

# -- An upgrade without room beside the installed files, one whose writes fail part-way (the
# drive runs out of files: the space check passes), silent and interactive: each exits with 2,
# and the earlier version is back whole, registered, its traywatch waiting again.
upgrade_fails=$(silent "$newer")
mount -o remount,size=4m,nr_inodes=$(($(df --output=iused "$y" | tail -1) + 3)) "$y"
upgrade_fails+=" $(silent "$newer")"
check "the interactive upgrade opens" install_interactively "$newer"
check "its box says the disk is full" box_says 'Na dysku brakuje miejsca'
uidriver dismiss "$box" Cancel >/dev/null
uidriver click "$window" 'Anuluj' >/dev/null
ended "$interactive"
expect_eq "the failed upgrades exit with 2" "2 2 2" "$upgrade_fails $status"
expect_eq "the earlier version is whole and registered, nothing else on the drive" \
  "$before" "$(installation "$y")"
check "its traywatch, stopped, waits again" new_watcher_waits "$first_watcher"
mount -o remount,nr_inodes=10000 "$y"
expect_eq "with room the upgrade succeeds" 0 "$(silent "$newer")"
check "the new version is in place" same_files "$y/Zelvo" "${newer%-setup.exe}"
expect_eq "and registered" "$newer_version" "$(reg_value "$uninstall_key" DisplayVersion)"

# -- One registered installation, no silent downgrade: the older release into the registered
# folder, and either release into another folder, end with 2 and change nothing. Interactively
# the installer asks, and goes into the registered folder; the downgrade switch allows it too.
before=$(installation "$y")
statuses="$(silent "$release") $(silent "$release" '/D=C:\B') $(silent "$newer" '/D=C:\B')"
expect_eq "a downgrade and a second installation end with 2" "2 2 2" "$statuses"
expect_eq "and change nothing" "$before" "$(installation "$y")"
check "the interactive installer opens" install_interactively "$release" '/D=C:\B'
check "it names the registered folder" box_says '^Y:\\Zelvo$'
uidriver dismiss "$box" Yes >/dev/null
check "it asks about the downgrade" box_says "nowsza wersja Zelvo CD: $newer_version"
uidriver dismiss "$box" Yes >/dev/null
finish "$interactive"
expect_eq "confirmed, it installs" 0 "$status"
check "the older version is in the registered folder" same_files "$y/Zelvo" "$ZELVO_RELEASE/zelvo-cd-$version"
check "no second folder" test ! -e "$c/B"
# The registered folder spelled another way is the same folder, and its traywatch is stopped and
# started again as its own.
watcher=$(prefix_pids 'traywatch[.]exe')
expect_eq "an upgrade into the folder spelled another way succeeds" 0 \
  "$(silent "$newer" '/D=y:\zelvo\..\ZELVO\\.')"
expect_eq "the registration keeps its spelling" 'Y:\Zelvo' "$(reg_value "$uninstall_key" InstallLocation)"
check "its traywatch was stopped and waits again" new_watcher_waits "$watcher"
expect_eq "/DOWNGRADE installs the older version" 0 "$(silent "$release" /DOWNGRADE)"
expect_eq "which is registered" "$version" "$(reg_value "$uninstall_key" DisplayVersion)"
expect_eq "the registered silent uninstall succeeds" 0 \
  "$(batch "$(reg_value "$uninstall_key" QuietUninstallString)")"
check "and the drive is left empty" left_only "$y" ""

# -- The user's files in the chosen folder: a silent install refuses the folder; interactively
# the installer asks, never replaces a file of its own name that is the user's, and the
# uninstall takes away only what it installed.
mkdir -p "$c/Moje/sub"
echo "moja licencja" >"$c/Moje/LICENCJA.txt"
echo "mój przewodnik" >"$c/Moje/PRZEWODNIK.txt"
echo "notatka" >"$c/Moje/sub/notatka.txt"
before=$(installation "$c/Moje")
expect_eq "a silent install into the user's folder ends with 2" 2 "$(silent "$release" '/D=C:\Moje')"
expect_eq "and changes nothing" "$before" "$(installation "$c/Moje")"
check "the interactive installer opens" install_interactively "$release" '/D=C:\Inne\..\Moje\\.'
check "it asks about the folder, which is not empty" box_says '^Folder C:\\Moje nie jest pusty'
uidriver dismiss "$box" Yes >/dev/null
check "it refuses to replace the user's licence" box_says '^C:\\Moje\\LICENCJA.txt$'
uidriver dismiss "$box" OK >/dev/null
mv "$c/Moje/LICENCJA.txt" "$c/Moje/sub/"
before=$(cd "$c/Moje" && sha256sum PRZEWODNIK.txt sub/*)
check "it stays on the folder page" on_page '&Zainstaluj'
uidriver click "$window" 'Zainstaluj' >/dev/null
uidriver dismiss "$box" Yes >/dev/null
finish "$interactive"
expect_eq "with the licence moved it installs" 0 "$status"
expect_eq "registered in canonical form" 'C:\Moje' "$(reg_value "$uninstall_key" InstallLocation)"
expect_eq "the user's files are untouched" "$before" "$(cd "$c/Moje" && sha256sum PRZEWODNIK.txt sub/*)"
expect_eq "the registered silent uninstall succeeds" 0 \
  "$(batch "$(reg_value "$uninstall_key" QuietUninstallString)")"
check "and leaves only the user's files" left_only "$c/Moje" \
  './PRZEWODNIK.txt ./sub ./sub/LICENCJA.txt ./sub/notatka.txt '
expect_eq "unchanged" "$before" "$(cd "$c/Moje" && sha256sum PRZEWODNIK.txt sub/*)"
