# Functions for running the real launcher under Wine; sourced by wine-run.sh and run-e2e.sh.
#
# A session is a folder holding one Wine prefix, its virtual display and the box watcher.
# It is opened once and then serves any number of runs, each of which starts the launcher
# once on a fresh medium; docs/wine.md describes the inputs and outputs of a run.

KW_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
KW_WINE="${KW_WINE:-/usr/lib/wine/wine64}"
KW_WINESERVER="${KW_WINESERVER:-$(dirname "$KW_WINE")/wineserver}"
KW_CC="${KW_CC:-x86_64-w64-mingw32-gcc}"

# For the programs under test: LZ32 looked for in a program's own folder first, as Windows
# does for a DLL that is not a known DLL (Wine would take its own copy otherwise). Only
# there: wineboot itself hangs with it.
KW_PROGRAM_DLLS="mscoree,mshtml=;lz32=n,b"

kw_die() { echo "wine: $*" >&2; exit 1; }

# Wine's own commands, in the session's prefix.
kw_wine() { "$KW_WINE" "$@"; }

kw_env() {
  export WINEPREFIX="$KW_SESSION/prefix" WINELOADER="$KW_WINE" WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer boxes
  export WINEARCH=win64
  [ -f "$KW_SESSION/display" ] && export DISPLAY=":$(cat "$KW_SESSION/display")"
  return 0
}

# Windows path ("D:\kel\Kel.Exe") to the host path of the current run.
kw_host() {
  local win="$1" letter rest
  letter="$(printf '%s' "${win:0:1}" | tr 'A-Z' 'a-z')"
  rest="${win:3}"
  rest="${rest//\\//}"
  if [ "$letter" = c ]; then
    printf '%s/drive_c/%s' "$WINEPREFIX" "$rest"
  else
    printf '%s/%s/%s' "$KW_RUN" "$letter" "$rest"
  fi
}

kw_build_helpers() {
  local out="$KW_SESSION/helpers" src="$KW_HERE/helpers" flags=(-O2 -Wall -Wextra -Werror -static)
  mkdir -p "$out"
  "$KW_CC" "${flags[@]}" -o "$out/boxwatch.exe" "$src/boxwatch.c" &&
    "$KW_CC" "${flags[@]}" -o "$out/launch.exe" "$src/launch.c" &&
    "$KW_CC" "${flags[@]}" -o "$out/shortpath.exe" "$src/shortpath.c" &&
    "$KW_CC" "${flags[@]}" -o "$out/naiveload.exe" "$src/naiveload.c" &&
    "$KW_CC" "${flags[@]}" -mwindows -o "$out/kelstub.exe" "$src/kelstub.c" &&
    "$KW_CC" "${flags[@]}" -shared -o "$out/LZ32.DLL" "$src/plantlz32.c" ||
    kw_die "cannot build the helper programs"
  # The compressed engine, made the way the medium's Kel.Ex_ is made.
  (cd "$out" && cp kelstub.exe kelstub.ex && rm -f kelstub.ex_ && mscompress kelstub.ex >/dev/null) ||
    kw_die "mscompress failed"
  rm -f "$out/kelstub.ex"
}

# Opens a session in folder $1: prefix, display, watcher. Sets KW_SESSION.
kw_session_open() {
  KW_SESSION="$(mkdir -p "$1" && cd "$1" && pwd)"
  kw_build_helpers
  # -displayfd picks a free display number and tells it once the server is ready.
  rm -f "$KW_SESSION/display"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$KW_SESSION/display" \
    >"$KW_SESSION/xvfb.log" 2>&1 &
  echo $! >"$KW_SESSION/xvfb.pid"
  local i
  for i in $(seq 100); do
    [ -s "$KW_SESSION/display" ] && break
    sleep 0.1
  done
  [ -s "$KW_SESSION/display" ] || kw_die "Xvfb did not start"
  # The display comes first: the prefix's desktop, made by wineboot, binds to the display
  # it finds, and without one every later message box fails at once.
  kw_env
  kw_wine wineboot -i >"$KW_SESSION/wineboot.log" 2>&1 || kw_die "wineboot failed"
  local area="$WINEPREFIX/drive_c/kelwine"
  mkdir -p "$area"
  cp "$KW_SESSION/helpers/"{boxwatch,launch,shortpath}.exe "$area/"
  rm -f "$area/stop" "$area/boxes.log"
  : >"$area/boxes.log"
  kw_wine 'C:\kelwine\boxwatch.exe' 'C:\kelwine\boxes.log' 'C:\kelwine\stop' \
    >"$KW_SESSION/boxwatch.log" 2>&1 &
  echo $! >"$KW_SESSION/boxwatch.pid"
  # The temp folder as the system writes it in short form, with its trailing backslash.
  local temp
  temp="$(kw_wine cmd /c 'echo %TEMP%' | tr -d '\r')"
  temp="$(kw_wine 'C:\kelwine\shortpath.exe' "$temp" | tr -d '\r')"
  printf '%s\\' "${temp%\\}" >"$KW_SESSION/temp"
}

# Reuses an open session.
kw_session_use() {
  KW_SESSION="$(cd "$1" && pwd)" || kw_die "no session in $1"
  [ -f "$KW_SESSION/xvfb.pid" ] || kw_die "no session in $1"
  kw_env
}

kw_session_close() {
  [ -n "${KW_SESSION:-}" ] || return 0
  kw_env
  touch "$WINEPREFIX/drive_c/kelwine/stop"
  local pid
  pid="$(cat "$KW_SESSION/boxwatch.pid" 2>/dev/null)"
  [ -n "$pid" ] && { timeout 20 tail --pid="$pid" -f /dev/null || kill "$pid"; } 2>/dev/null
  # The prefix's desktop process never ends by itself.
  "$KW_WINESERVER" -k 2>/dev/null
  pid="$(cat "$KW_SESSION/xvfb.pid" 2>/dev/null)"
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  wait 2>/dev/null
  return 0
}

# The keys of a .reg file that do not exist yet, each raised to its highest missing
# ancestor: removed again after the run, so the next run finds the registry as it was.
kw_new_keys() {
  local key
  tr -d '\r' <"$1" | sed -n 's/^\[\([^]-][^]]*\)\]$/\1/p' | while IFS= read -r key; do
    kw_wine reg query "$key" >/dev/null 2>&1 && continue
    while [[ "${key%\\*}" == *\\* ]] && ! kw_wine reg query "${key%\\*}" >/dev/null 2>&1; do
      key="${key%\\*}"
    done
    printf '%s\n' "$key"
  done | LC_ALL=C sort -u
}

kw_remove_keys() {
  [ -s "$1" ] || return 0
  { echo REGEDIT4; sed 's/^\(.*\)$/[-\1]/' "$1"; } >"$KW_RUN/undo.reg"
  kw_wine regedit /S "$(kw_winpath "$KW_RUN/undo.reg")" >/dev/null 2>&1
}

# Host path inside the run folder to the Windows path through drive Z: (Wine's root).
kw_winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Places one entry of a file list (see docs/wine.md).
kw_place() {
  local kind="$1" win="$2" host stamp=""
  case "$kind" in *@*) stamp="${kind#*@}"; kind="${kind%%@*}" ;; esac
  host="$(kw_host "$win")"
  if [ "$kind" = dir ]; then
    mkdir -p "$host"
  else
    mkdir -p "$(dirname "$host")"
    case "$kind" in
      file) printf 'Kelmora test file %s\r\n' "$win" >"$host" ;;
      stub) cp "$KW_SESSION/helpers/kelstub.exe" "$host" ;;
      stub-lz) cp "$KW_SESSION/helpers/kelstub.ex_" "$host" ;;
      not-exe) printf 'This is not a program.\r\n' >"$host" ;;
      dos-exe) { printf MZ; head -c 254 /dev/zero; } >"$host" ;;
      planted-lz32) cp "$KW_SESSION/helpers/LZ32.DLL" "$host" ;;
      launcher) cp "$KW_LAUNCHER" "$host" ;;
      *) kw_die "unknown entry kind '$kind' for $win" ;;
    esac
  fi
  [ -n "$stamp" ] && touch -d "$stamp" "$host"
  [ "${win:0:1}" = c ] || [ "${win:0:1}" = C ] && printf '%s\n' "$host" >>"$KW_RUN/placed-on-c"
  return 0
}

# One start of the launcher.
#   kw_run OUT LAUNCHER [--medium DIR] [--files LIST] [--reg FILE] [--arg TEXT] [--key KEY]...
kw_run() {
  local out="$1" launcher="$2" medium="" files="" reg="" arg="" has_arg=0 keys=()
  shift 2
  while [ $# -gt 0 ]; do
    case "$1" in
      --medium) medium="$2"; shift 2 ;;
      --files) files="$2"; shift 2 ;;
      --reg) reg="$2"; shift 2 ;;
      --arg) arg="$2"; has_arg=1; shift 2 ;;
      --key) keys+=("$2"); shift 2 ;;
      *) kw_die "unknown run option $1" ;;
    esac
  done
  kw_env
  KW_LAUNCHER="$launcher"
  KW_RUN="$KW_SESSION/run"
  rm -rf "$KW_RUN" "$out"
  mkdir -p "$KW_RUN/d" "$out"
  : >"$KW_RUN/placed-on-c"
  local area="$WINEPREFIX/drive_c/kelwine" dev="$WINEPREFIX/dosdevices"
  [ -n "$medium" ] && cp -a "$medium/." "$KW_RUN/d/"
  local launcher_at='D:\Setup.exe' kind win
  if [ -n "$files" ]; then
    while read -r kind win; do
      case "$kind" in '' | '#'*) continue ;; esac
      win="${win%$'\r'}"
      [ "${kind%%@*}" = launcher ] && launcher_at="$win"
      mkdir -p "$KW_RUN/$(printf '%s' "${win:0:1}" | tr 'A-Z' 'a-z')"
      kw_place "$kind" "$win"
    done <"$files"
  fi
  grep -q '^launcher' "$files" 2>/dev/null || kw_place launcher "$launcher_at"
  # Every drive of the run is a fresh host folder.
  local drive letter
  for drive in "$KW_RUN"/?; do
    letter="$(basename "$drive")"
    [ "$letter" = c ] && continue
    ln -sfn "$drive" "$dev/$letter:"
  done
  # Leftovers of an earlier run.
  local temp_host
  temp_host="$(kw_host "$(cat "$KW_SESSION/temp")")"
  rm -rf "${temp_host:?}"/* "$WINEPREFIX/drive_c/kelstub.log" "$WINEPREFIX/drive_c/planted.log"
  : >"$KW_RUN/new-keys"
  if [ -n "$reg" ]; then
    cp "$reg" "$KW_RUN/case.reg"
    kw_new_keys "$KW_RUN/case.reg" >"$KW_RUN/new-keys"
    kw_wine regedit /S "$(kw_winpath "$KW_RUN/case.reg")" >/dev/null 2>&1 ||
      kw_die "regedit could not import $reg"
  fi
  : >"$area/boxes.log"
  rm -f "$area/exit"
  touch "$KW_RUN/started"
  local cmdline="\"$launcher_at\""
  [ "$has_arg" = 1 ] && cmdline="$cmdline $arg"
  timeout 120 env WINEDLLOVERRIDES="$KW_PROGRAM_DLLS" \
    "$KW_WINE" 'C:\kelwine\launch.exe' 'C:\kelwine\exit' "$cmdline" >"$KW_RUN/launch.log" 2>&1
  # Outputs.
  cp "$area/boxes.log" "$out/boxes"
  if [ -f "$WINEPREFIX/drive_c/kelstub.log" ]; then
    tr -d '\r' <"$WINEPREFIX/drive_c/kelstub.log" >"$out/launches"
  else
    : >"$out/launches"
  fi
  if [ -f "$area/exit" ]; then tr -d '\r' <"$area/exit" >"$out/exit"; else echo none >"$out/exit"; fi
  if [ -f "$WINEPREFIX/drive_c/planted.log" ]; then
    cp "$WINEPREFIX/drive_c/planted.log" "$out/planted"
  fi
  kw_written >"$out/files"
  : >"$out/keys"
  local key
  for key in ${keys[@]+"${keys[@]}"}; do
    if kw_wine reg query "$key" >/dev/null 2>&1; then
      printf 'present %s\n' "$key" >>"$out/keys"
    else
      printf 'absent %s\n' "$key" >>"$out/keys"
    fi
  done
  # Keep the written files for the caller; then give the prefix back as it was.
  mkdir -p "$out/drives"
  for drive in "$KW_RUN"/?; do
    letter="$(basename "$drive")"
    [ "$letter" = c ] && continue
    cp -a "$drive" "$out/drives/$letter"
    rm -f "$dev/$letter:"
  done
  kw_remove_keys "$KW_RUN/new-keys"
  xargs -r -d '\n' rm -rf <"$KW_RUN/placed-on-c"
  return 0
}

# Files created or changed by the run (by status-change time, since a copy may carry its
# source's date), as Windows paths in name order.
kw_written() {
  kw_written_raw 2>/dev/null | sed 's|/|\\|g' | LC_ALL=C sort
}

kw_written_raw() {
  local drive letter
  for drive in "$KW_RUN"/?; do
    letter="$(basename "$drive" | tr 'a-z' 'A-Z')"
    [ "$letter" = C ] && continue
    (cd "$drive" && find . -type f -cnewer "$KW_RUN/started") | sed "s|^\.|$letter:|"
  done
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path ./kelwine -prune -o \
    -path ./ProgramData -prune -o -path './users/*/AppData' -prune -o \
    -type f -cnewer "$KW_RUN/started" -print) | sed -e '/^\.\/kelstub\.log$/d' -e 's|^\.|C:|'
}
