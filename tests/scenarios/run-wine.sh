#!/usr/bin/env bash
# Runs the scenarios marked "wine": true against the real Setup.exe under Wine and compares
# each transcript with the emulated one (both in kelsim's portable form).
#   run-wine.sh [KELSIM] [SETUP_EXE]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
kelsim="${1:-$root/build/linux/tools/kelsim/kelsim}"
launcher="${2:-$root/build/win64/windows/Setup.exe}"
[ -x "$kelsim" ] || { echo "run-wine: no kelsim at $kelsim" >&2; exit 2; }
[ -f "$launcher" ] || { echo "run-wine: no Setup.exe at $launcher" >&2; exit 2; }

session="$(mktemp -d)"
trap 'bash "$root/tests/wine/wine-session.sh" close "$session" >/dev/null 2>&1; rm -rf "$session"' EXIT
bash "$root/tests/wine/wine-session.sh" open "$session" >/dev/null || { echo "run-wine: no Wine session" >&2; exit 2; }

passed=0 failed=0
for scenario in "$here"/*.json; do
  grep -q '"wine": *true' "$scenario" || continue
  name="$(basename "$scenario" .json)"
  emulated="$("$kelsim" --portable "$scenario" 2>&1)"
  if real="$("$kelsim" --wine --launcher "$launcher" --session "$session" "$scenario" 2>&1)" &&
    [ "$emulated" = "$real" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED $name"
    diff <(printf '%s\n' "$emulated") <(printf '%s\n' "$real") | sed 's/^/  /'
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
