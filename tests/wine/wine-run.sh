#!/usr/bin/env bash
# Runs the real launcher once under Wine and writes what happened into an output folder.
#
#   wine-run.sh --launcher EXE --out DIR [--medium DIR] [--files LIST] [--reg FILE]
#               [--arg TEXT] [--key KEY]... [--session DIR]
#
# Without --session a session (prefix, virtual display, box watcher) is made for this one
# run and closed afterwards; with it, an open session is reused (see wine-session.sh).
# Inputs and outputs: docs/wine.md.
set -euo pipefail
. "$(dirname "$0")/wine-lib.sh"

launcher="" out="" session="" run_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --launcher) launcher="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --session) session="$2"; shift 2 ;;
    --medium | --files | --reg | --arg | --key) run_args+=("$1" "$2"); shift 2 ;;
    *) kw_die "unknown option $1 (see docs/wine.md)" ;;
  esac
done
[ -n "$launcher" ] && [ -f "$launcher" ] || kw_die "--launcher EXE is required"
[ -n "$out" ] || kw_die "--out DIR is required"
launcher="$(cd "$(dirname "$launcher")" && pwd)/$(basename "$launcher")"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [ -n "$session" ]; then
  kw_session_use "$session"
else
  own="$(mktemp -d)"
  trap 'kw_session_close; rm -rf "$own"' EXIT
  kw_session_open "$own"
fi
kw_run "$out" "$launcher" ${run_args[@]+"${run_args[@]}"}
