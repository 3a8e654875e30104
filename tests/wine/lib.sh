# Shared by the end-to-end tests: a throwaway Wine prefix per test, simulated drives, the
# programs installed into a folder of the prefix, MCI traces, and waits with deadlines.
# Every test sources this file; its prefix (registry and files) is removed when it exits.
set -euo pipefail
: "${ZELVO_BIN:?}" "${ZELVO_TOOLS:?}" "${ZELVO_WINE_ROOT:?}"
ZELVO_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8 WINEDEBUG=-all WINEARCH=win64
DISPLAY=$(cat "$ZELVO_WINE_ROOT/display")
export DISPLAY

failures=0

# new_prefix NAME: a fresh copy of the template prefix for this test, removed at exit.
new_prefix() {
  export WINEPREFIX="$ZELVO_WINE_ROOT/prefixes/$1"
  MEDIA="$ZELVO_WINE_ROOT/media/$1"
  rm -rf "$WINEPREFIX" "$MEDIA"
  mkdir -p "$ZELVO_WINE_ROOT/prefixes" "$MEDIA"
  cp -a "$ZELVO_WINE_ROOT/template" "$WINEPREFIX"
  rm -f "$WINEPREFIX/dosdevices/d:" "$WINEPREFIX/dosdevices/e:" "$WINEPREFIX/dosdevices/f:"
  trap finish_test EXIT
  trap 'exit 143' TERM INT
}

remove_prefix() {
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  release_small_drives
  rm -rf "$WINEPREFIX" "$MEDIA"
}

# A test fails when a check failed, even if its last command succeeded.
finish_test() {
  local status=$?
  remove_prefix
  if [ "$failures" -gt 0 ] && [ "$status" -eq 0 ]; then status=1; fi
  exit "$status"
}

# cd_drive LETTER disc|empty: a CD drive; with a disc its root is a readable folder, without
# one the drive's link dangles, as Wine shows a drive with no medium.
cd_drive() {
  local link="$WINEPREFIX/dosdevices/$1:"
  if [ "$2" = disc ]; then
    mkdir -p "$MEDIA/$1"
    echo "disc in $1" >"$MEDIA/$1/README.TXT"
    ln -sfn "$MEDIA/$1" "$link"
  else
    ln -sfn "$MEDIA/no-medium-$1" "$link"
  fi
}

# small_drive LETTER SIZE: a fixed drive on a tmpfs of SIZE (as mount's size=), a full disk on
# demand (run as root); resize it with remount options (size=, nr_inodes=). Unmounted when the
# test ends, however it ends; a drive an earlier run left mounted is unmounted first.
small_drive() {
  local mount_point="$ZELVO_WINE_ROOT/drives/${WINEPREFIX##*/}-$1"
  mountpoint -q "$mount_point" && umount "$mount_point"
  mkdir -p "$mount_point"
  mount -t tmpfs -o "size=$2,mode=0755" zelvo-test "$mount_point"
  echo "$mount_point" >>"$WINEPREFIX/small-drives"
  ln -sfn "$mount_point" "$WINEPREFIX/dosdevices/$1:"
  echo "$mount_point"
}
release_small_drives() {
  local mount_point
  [ -f "$WINEPREFIX/small-drives" ] || return 0
  while read -r mount_point; do
    umount "$mount_point" 2>/dev/null || true
    rmdir "$mount_point" 2>/dev/null || true
  done <"$WINEPREFIX/small-drives"
}

# network_drive LETTER: a drive of the network type (its registry type set by the template).
network_drive() {
  mkdir -p "$MEDIA/share-$1"
  ln -sfn "$MEDIA/share-$1" "$WINEPREFIX/dosdevices/$1:"
}

# install_programs WINDOWS_FOLDER [PROGRAM...]: copies the programs into a folder of drive C:.
# Prints the unix path of the folder.
install_programs() {
  local folder=$1
  shift
  local unix
  unix="$WINEPREFIX/drive_c/${folder#C:\\}"
  unix="${unix//\\//}"
  mkdir -p "$unix"
  local program
  for program in "$@"; do cp "$ZELVO_BIN/$program.exe" "$unix/"; done
  echo "$unix"
}

uidriver() { wine "$ZELVO_TOOLS/uidriver.exe" "$@" 2>/dev/null | tr -d '\r'; }

# reg_value KEY NAME: a value of the registry as text.
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

# exit_status COMMAND...: the command's exit status, as text. Its output goes nowhere, so that
# a program it leaves running (a restarted traywatch) does not hold the caller waiting.
exit_status() {
  local status=0
  "$@" >/dev/null || status=$?
  echo "$status"
}

# newer_release: builds, from the installer's script, the next version of the release, every
# file of which differs from the release's; prints its installer's path. Its files lie in the
# folder of that name without "-setup.exe".
newer_release() {
  local version folder=$MEDIA/newer
  version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' "$ZELVO_SOURCE/CMakeLists.txt")
  rm -rf "$folder"
  cp -r "$ZELVO_RELEASE/zelvo-cd-$version" "$folder"
  for file in "$folder"/*; do echo newer >>"$file"; done
  makensis -V1 -DVERSION="${version%.*}.$((${version##*.} + 1))" -DFILES="$folder" \
    -DOUT="$folder-setup.exe" "$ZELVO_SOURCE/packaging/zelvo-cd.nsi" >/dev/null
  echo "$folder-setup.exe"
}

# box_text TITLE: the text of the message box with this title, all its lines (the lines after
# the first continue the control's description until its geometry field).
box_text() {
  uidriver describe "$1" | awk -F'|' '
    /^(window|control)[|]/ { text = $1 == "control" && $2 == "Static" && $3 != ""; if (text) print $3; next }
    text { print $1 }'
}

# The MCI command strings that our programs sent, in order, from a WINEDEBUG=+mci log. Wine's
# own nested calls (with a reply buffer) are left out.
mci_commands() {
  sed -n 's/.*trace:mci:mciSendStringW (L"\(.*\)", 0000000000000000, 0, 0000000000000000)$/\1/p' "$1" | tr -d '\r'
}

# wait_for_doors LOG N: traypop runs on in processes of its own; waits, 10 s at most, until N
# door commands have been traced in LOG.
wait_for_doors() {
  wait_until 10 bash -c "[ \$(mci_commands '$1' | grep -c 'door open') -ge $2 ]" || true
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds or the deadline passes.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# prefix_pids PATTERN: processes of this test's prefix with PATTERN in their command line.
prefix_pids() {
  local pid
  for pid in $(pgrep -f -- "$1"); do
    [ "$pid" != "$$" ] || continue
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
    fi
  done
}
running() { [ -n "$(prefix_pids "$1")" ]; }
not_running() { ! running "$@"; }

check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok   - $what"
  else
    echo "FAIL - $what"
    failures=$((failures + 1))
  fi
}

expect_eq() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then
    echo "ok   - $what"
  else
    echo "FAIL - $what"
    echo "       expected: $(printf '%q' "$expected")"
    echo "       actual:   $(printf '%q' "$actual")"
    failures=$((failures + 1))
  fi
}

# Starts the wine server and its services, so that timings measure the program alone. The
# server stays until the prefix goes (remove_prefix): one that ended between two steps of a busy
# test would start its services again from the next program, which they would take for their
# parent, tracing into its log with its WINEDEBUG.
warm_up() {
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

# Conditions handed to wait_until or check as `bash -c '…'` need the helpers too.
export -f uidriver box_text prefix_pids running not_running mci_commands
