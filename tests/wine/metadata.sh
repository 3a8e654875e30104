#!/usr/bin/env bash
# Each program carries its manifest (asInvoker, Windows 7 to 11, and for the windowed ones
# themed controls and per-monitor DPI awareness) and its version resource, read back from the
# built files as Windows reads them; and each imports only Windows' own DLLs.
source "$(dirname "$0")/lib.sh"
new_prefix metadata
version=$(sed -n 's/^project(ZelvoCD VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")

while IFS='|' read -r program windowed description; do
  resources=$(uidriver resources "$ZELVO_BIN/$program.exe")
  field() { awk -F'|' -v name="$1" '$1 == "version" && $2 == name {print $3}' <<<"$resources"; }
  expect_eq "$program: product name" "Zelvo CD" "$(field ProductName)"
  expect_eq "$program: Polish description" "$description" "$(field FileDescription)"
  expect_eq "$program: version from the build" "$version" "$(field FileVersion)"
  check "$program: runs as the invoking user" grep -q 'level="asInvoker"' <<<"$resources"
  check "$program: declares Windows 7 to 11" \
    test "$(grep -c '<supportedOS Id=' <<<"$resources")" -eq 4
  if [ "$windowed" = yes ]; then
    check "$program: themed controls" grep -q 'Microsoft.Windows.Common-Controls' <<<"$resources"
    check "$program: per-monitor DPI aware" grep -q 'PerMonitorV2' <<<"$resources"
  fi
  imports=$(x86_64-w64-mingw32-objdump -p "$ZELVO_BIN/$program.exe" | sed -n 's/.*DLL Name: //p' \
    | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
  check "$program: imports only Windows DLLs ($imports)" \
    bash -c "! grep -qE 'LIBSTDC|LIBGCC|WINPTHREAD|MINGW' <<<'$imports'"
done <<'PROGRAMS'
traypop|no|Zelvo CD – wysuwanie tacki jednego napędu
trayflush|yes|Zelvo CD – wysuwanie tacek po zalogowaniu
traywatch|yes|Zelvo CD – wysuwanie tacki przy zamykaniu systemu
konfigurator|yes|Zelvo CD – konfigurator
PROGRAMS
