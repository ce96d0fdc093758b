#!/usr/bin/env bash
# Builds the 64-bit Windows launcher and runs it under Wine on the bundled sample medium,
# then shows the message boxes, the programs started, the exit code and the files written.
# Extra options go to tests/wine/wine-run.sh, e.g. --arg autorun or --reg FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Setup
out="$(mktemp -d "${TMPDIR:-/tmp}/kel-wine-sample.XXXXXX")"
trap 'rm -rf "$out"' EXIT
tests/wine/wine-run.sh --launcher build/win64/windows/Setup.exe \
  --medium examples/sample-medium --out "$out/run" "$@"
show() {
  echo "== $1"
  if [ -s "$2" ]; then sed 's/^/   /' "$2"; else echo "   (none)"; fi
}
show "message boxes (caption, text; each pressed OK)" "$out/run/boxes"
show "programs started (command line, current folder)" "$out/run/launches"
show "exit code" "$out/run/exit"
show "files written" "$out/run/files"
