#!/bin/bash
# Runs the conformance suite against the real Win32 API under Wine, in a fresh prefix.
#
#   tests/wine/run-conformance.sh BUILD_DIR [gtest options...]
#
# BUILD_DIR is the win64 build folder (only 64-bit programs run here). Prints GoogleTest's
# output and exits with its status.
set -u

build="${1:?usage: run-conformance.sh BUILD_DIR [gtest options...]}"
shift
exe="$build/tests/conformance/conformance_tests.exe"
[ -f "$exe" ] || { echo "conformance: $exe not built" >&2; exit 2; }
exe="$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")"

wine="${KW_WINE:-/usr/lib/wine/wine64}"
wineserver="$(dirname "$wine")/wineserver"
area="$(mktemp -d "${TMPDIR:-/tmp}/kelconf.XXXXXX")"

export WINEPREFIX="$area/prefix" WINELOADER="$wine" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer boxes
# The text cases are written for Windows-1252; Wine takes the ANSI code page from the locale.
# Given to Wine only (env), so this shell does not try to load a locale it may lack.
locale=(env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8)
# No message box is shown: the suite needs no display.
unset DISPLAY

finish() {
  # Only this prefix's server: other runs may share the machine.
  [ -d "$WINEPREFIX" ] && "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
  rm -rf "$area"
}
trap finish EXIT

if ! timeout 150 "${locale[@]}" "$wine" wineboot -i >"$area/wineboot.log" 2>&1; then
  echo "conformance: wineboot failed" >&2
  cat "$area/wineboot.log" >&2
  exit 2
fi
[ "$(id -u)" = 0 ] && export KELCONF_UNIX_ROOT=1
timeout 120 "${locale[@]}" "$wine" "$exe" --gtest_color=no "$@"
status=$?

# The suite's scratch folders and registry keys must all be gone again.
leftovers="$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -iname 'kelconf-*' 2>/dev/null)"
if [ -n "$leftovers" ]; then
  echo "conformance: scratch folders left behind:" >&2
  echo "$leftovers" >&2
  [ "$status" = 0 ] && status=1
fi
if "${locale[@]}" "$wine" reg query 'HKCU\Software\KelmoraConformance' >/dev/null 2>&1; then
  echo "conformance: HKCU\Software\KelmoraConformance left behind" >&2
  [ "$status" = 0 ] && status=1
fi
exit "$status"
