#!/usr/bin/env bash
# Prints the suite's figures: each program's size and imported DLLs, traypop's start-to-end
# Prints the suite's figures: each program's size and imported DLLs, traypop's start-to-end
# time under Wine beside an empty program's and beside its honest floor (a plain C program that
# sends the same two MCI strings), and traywatch's CPU time and memory while it waits beside an
# empty windowed program's; then the Linux programs' sizes and libraries, the Linux traypop's
# time beside util-linux's eject -r and a C program's, the C++ runtime's start-up, the Linux
# traywatch's idle CPU and memory beside a C program holding the same inhibitor, and how the
# Linux programs fare with drives that never answer. It reports; it never fails on a number.
source "$(dirname "$0")/scratch_session.sh" bench
cd_drive e empty

echo "== Sizes and imports (aim: at most 64 KiB, Windows DLLs only)"
for program in traypop trayflush traywatch konfigurator; do
  file=$ZELVO_BIN/$program.exe
  size=$(stat -c %s "$file")
  imports=$(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')
  printf '%-13s %6d bytes (%5.1f KiB)  imports: %s\n' "$program" "$size" \
    "$(echo "$size / 1024" | bc -l)" "$imports"
done

warm_up
median_ms() { # median wall time of 9 runs of a program, in ms
  local times=() i started
  for i in 1 2 3 4 5 6 7 8 9; do
    started=$(date +%s%N)
    timeout 20 wine "$@" >/dev/null 2>&1 || true
    times+=($((($(date +%s%N) - started) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 5p
}
echo
echo "== traypop start to end under Wine (aim: within 1.1x of an empty program, 1.05x of a C program sending the same two MCI strings)"
empty=$(median_ms "$ZELVO_TOOLS/empty_program.exe")
winmm=$(median_ms "$ZELVO_TOOLS/winmm_program.exe")
floor=$(median_ms "$ZELVO_TOOLS/mci_program.exe" e)
traypop=$(median_ms "$ZELVO_BIN/traypop.exe" e)
ratio() { echo "scale=2; $1 / $2" | bc; }
echo "medians of 9: empty program $empty ms, empty program loading winmm.dll $winmm ms," \
  "C program sending the two strings for e $floor ms, traypop e $traypop ms"
echo "traypop / empty program:                       $(ratio "$traypop" "$empty")"
echo "traypop / winmm.dll alone:                     $(ratio "$traypop" "$winmm")"
echo "traypop / C program with the same two strings: $(ratio "$traypop" "$floor")"

# CPU time (user + system, in clock ticks) and resident memory of a waiting program.
idle_figures() {
  local pattern=$1 pid before after hz
  hz=$(getconf CLK_TCK)
  wait_until 15 running "$pattern" || { echo "did not start"; return; }
  sleep 2 # past its start-up, so that only the waiting is measured
  pid=$(prefix_pids "$pattern" | head -1)
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep 10
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  echo "$(((after - before) * 1000 / hz)) ms CPU over 10 idle seconds, $(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status") resident"
}
echo
echo "== Waiting for the session end (aim: traywatch 0 ms of CPU)"
wine "$ZELVO_TOOLS/empty_window.exe" >/dev/null 2>&1 &
echo "empty window: $(idle_figures 'empty_window[.]exe')"
wine "$ZELVO_BIN/traywatch.exe" >/dev/null 2>&1 &
echo "traywatch:    $(idle_figures 'traywatch[.]exe')"

echo
echo "== Linux programs: sizes (stripped, as a package ships them; aim: traypop, trayflush and traywatch at most 64 KiB, konfigurator at most 96 KiB) and the libraries they load"
for program in traypop trayflush traywatch konfigurator komunikat; do
  file=$ZELVO_SOURCE/build/linux/bin/$program
  stripped=$(mktemp)
  strip -o "$stripped" "$file"
  size=$(stat -c %s "$stripped")
  rm -f "$stripped"
  libraries=$(objdump -p "$file" | sed -n 's/^ *NEEDED *//p' | tr '\n' ' ')
  printf '%-13s %7d bytes (%5.1f KiB)  needs: %s\n' "$program" "$size" \
    "$(echo "$size / 1024" | bc -l)" "$libraries"
done
echo
echo "== Linux traypop start to end on a simulated drive, interleaved with util-linux's eject -r on the same drive (aim: at most 1.2x), and the shared C++ runtime's start-up beside an empty C program"
ZELVO_LINUX_BIN=$ZELVO_SOURCE/build/linux/bin ZELVO_LINUX_SCRATCH=$ZELVO_WINE_ROOT \
  /usr/bin/python3 tests/linux/timing.py "$ZELVO_SOURCE/build/linux/test-tools"
echo
echo "== Linux traywatch waiting for the session's end (aim: 0 ms of CPU; memory within 1.5x of a C program holding the same inhibitor)"
ZELVO_LINUX_BIN=$ZELVO_SOURCE/build/linux/bin ZELVO_LINUX_SCRATCH=$ZELVO_WINE_ROOT \
  /usr/bin/python3 tests/linux/idle.py "$ZELVO_SOURCE/build/linux/test-tools"
echo
echo "== Linux faults: quiet stops racing traywatch's start (aim: none lost), a drive that never answers (aim: skipped within seconds), three that never answer at a shutdown (aim: the eject asked within 4/5 of logind's delay)"
ZELVO_LINUX_BIN=$ZELVO_SOURCE/build/linux/bin ZELVO_LINUX_SCRATCH=$ZELVO_WINE_ROOT \
  /usr/bin/python3 tests/linux/faults.py "$ZELVO_SOURCE/build/linux/test-tools"
