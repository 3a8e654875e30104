#!/usr/bin/env bash
# Starts or stops what the end-to-end tests share: a virtual display and a Wine prefix made
# once, which each test copies. Usage: session.sh start|stop ROOT
set -euo pipefail
action=$1 root=$2
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8 WINEDEBUG=-all WINEARCH=win64
mkdir -p "$root"

case "$action" in
start)
  if [ ! -s "$root/display" ] || ! kill -0 "$(cat "$root/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    # Xvfb picks a free display number itself and writes it to the pipe. -noreset: otherwise it
    # starts afresh whenever its last client leaves, refusing whoever connects meanwhile.
    exec {fd}<> <(:)
    setsid Xvfb -displayfd "$fd" -noreset -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
    echo $! >"$root/xvfb.pid"
    read -r -t 20 number <&"$fd" || { echo "Xvfb did not start" >&2; exit 1; }
    echo ":$number" >"$root/display"
  fi
  # The template is made anew whenever this recipe changes.
  recipe=$(sha1sum "$0" | cut -d' ' -f1)
  if [ "$(cat "$root/template/ready" 2>/dev/null)" != "$recipe" ]; then
    rm -rf "$root/template"
    export WINEPREFIX="$root/template" DISPLAY=$(cat "$root/display")
    timeout 300 wineboot --init >"$root/wineboot.log" 2>&1
    # Drive types the tests may use (a letter is present only while its dosdevices link is).
    cat >"$root/drives.reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="cdrom"
"e:"="cdrom"
"f:"="cdrom"
"h:"="cdrom"
"g:"="network"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
REG
    timeout 120 wine regedit /S "$(winepath -w "$root/drives.reg")" >>"$root/wineboot.log" 2>&1
    # Windows drawn as on Windows: Wine's own fonts (Tahoma, which the dialog font MS Shell Dlg
    # stands for, and Marlett for the caption buttons) where this Wine finds them, and frames
    # drawn by Wine itself ("Decorated"="N" above), since Xvfb runs no window manager.
    ln -sf /usr/share/wine/fonts/*.ttf "$root/template/drive_c/windows/Fonts/"
    timeout 60 wineserver -k || true
    timeout 60 wineserver -w || true
    echo "$recipe" >"$root/template/ready"
  fi
  echo "display $(cat "$root/display"), template prefix ready"
  ;;
stop)
  for prefix in "$root"/prefixes/*/; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" timeout 30 wineserver -k 2>/dev/null || true
  done
  # Small drives (lib.sh) of a test that was killed before it could unmount them.
  for drive in "$root"/drives/*/; do
    mountpoint -q "$drive" && umount "$drive"
    rmdir "$drive" 2>/dev/null || true
  done
  if [ -f "$root/xvfb.pid" ]; then
    kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
    rm -f "$root/xvfb.pid" "$root/display"
  fi
  echo "session stopped"
  ;;
*)
  echo "usage: session.sh start|stop ROOT" >&2
  exit 2
  ;;
esac
