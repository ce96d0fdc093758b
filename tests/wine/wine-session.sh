#!/usr/bin/env bash
# Opens or closes a Wine session that several wine-run.sh calls can share.
#   wine-session.sh open DIR     prefix, virtual display and box watcher in DIR
#   wine-session.sh close DIR    stops them (DIR is left for the caller to remove)
set -euo pipefail
. "$(dirname "$0")/wine-lib.sh"
case "${1:-}" in
  open) [ $# -eq 2 ] || kw_die "usage: wine-session.sh open DIR"; kw_session_open "$2" ;;
  close) [ $# -eq 2 ] || kw_die "usage: wine-session.sh close DIR"; kw_session_use "$2"; kw_session_close ;;
  *) kw_die "usage: wine-session.sh open|close DIR" ;;
esac
