#!/usr/bin/env bash
# The main job: builds the suite and runs it under Wine on simulated CD drives, showing what
# each program did. Everything it makes lives under build/demo and is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
root=$PWD/build/demo
bash tests/wine/session.sh start "$root" >/dev/null

export ZELVO_BIN=$PWD/build/windows/bin ZELVO_TOOLS=$PWD/build/windows/test-tools ZELVO_WINE_ROOT=$root
source tests/wine/lib.sh
trap 'cleanup_prefix; bash tests/wine/session.sh stop "$root" >/dev/null' EXIT
new_prefix demo
cd_drive d disc
cd_drive e empty
cd_drive f disc
network_drive g
folder=$(install_programs 'C:\Program Files\Zelvo CD' traypop trayflush traywatch konfigurator 2>/dev/null || true)
warm_up
echo "Simulated drives: C: fixed, D: CD with a disc, E: CD without a disc, F: CD with a disc, G: network"
echo "Programs installed in C:\\Program Files\\Zelvo CD"

show_mci() { mci_commands "$1" | sed 's/^/    MCI: /'; }

echo
echo "== traypop F, started by hand"
WINEDEBUG=+mci timeout 20 wine "$folder/traypop.exe" F 2>"$root/traypop.log" || true
show_mci "$root/traypop.log"
