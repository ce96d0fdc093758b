#!/usr/bin/env bash
# End-to-end tests of the real launcher under Wine.
#   run-e2e.sh BUILD_DIR [CASE...]
# BUILD_DIR is the 64-bit Windows build (the one Wine runs here); its 32-bit twin is looked
# for in the same place with win64 replaced by win32 (or KEL_WIN32_BUILD). One line per
# case, then "N passed, M failed"; the exit status is non-zero on any failure.
# KEL_WINE_KEEP=1 keeps the work folder with every case's outputs.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/wine-lib.sh"

[ $# -ge 1 ] || kw_die "usage: run-e2e.sh BUILD_DIR [CASE...]"
build="$(cd "$1" && pwd)" || kw_die "no build folder $1"
shift
launcher="$build/windows/Setup.exe"
[ -f "$launcher" ] || kw_die "no $launcher: build the win64 preset first"
build32="${KEL_WIN32_BUILD:-${build/win64/win32}}"

work="$(mktemp -d "${TMPDIR:-/tmp}/kel-wine.XXXXXX")"
cleanup() {
  kw_session_close
  if [ "${KEL_WINE_KEEP:-0}" = 1 ]; then echo "outputs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

passed=0 failed=0
report() { # name, then the reasons of a failure (none: passed)
  local name="$1"
  shift
  if [ $# -eq 0 ]; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
    printf '       %s\n' "$@"
  fi
}

# ---- the executables themselves ----
# Only DLLs that Windows always loads from its own folder may be imported.
allowed_dlls='^(kernel32|user32|advapi32|msvcrt|gdi32|shell32|comctl32|ole32)\.dll$'
pe_check() { # name, file, expected objdump format, expected magic
  local name="$1" exe="$2" format="$3" reasons=() dll
  if [ ! -f "$exe" ]; then
    report "$name" "missing: $exe"
    return
  fi
  local headers
  headers="$(x86_64-w64-mingw32-objdump -f -p "$exe" 2>&1)"
  grep -q "file format $format" <<<"$headers" || reasons+=("not $format")
  grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || reasons+=("not a Windows GUI program")
  while read -r dll; do
    grep -Eiq "$allowed_dlls" <<<"$dll" || reasons+=("imports $dll")
  done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")
  grep -q 'DLL Name: KERNEL32.dll' <<<"$headers" || reasons+=("no import table read")
  report "$name" ${reasons[@]+"${reasons[@]}"}
}
pe_check "win64 Setup.exe: PE32+ GUI, system DLLs only" "$launcher" pei-x86-64
pe_check "win32 Setup.exe: PE32 i386 GUI, system DLLs only" "$build32/windows/Setup.exe" pei-i386

# ---- the cases ----
kw_session_open "$work/session"
temp="$(cat "$KW_SESSION/temp")"
temp="${temp%\\}"
user="$(id -un)"

# Short form of a path on a drive of the finished case. Wine makes short names from a hash
# of the long one, so the case's copy of the drive gives the name the launcher saw.
short_of() {
  local letter
  letter="$(printf '%s' "${1:0:1}" | tr 'A-Z' 'a-z')"
  ln -sfn "$out/drives/$letter" "$WINEPREFIX/dosdevices/$letter:"
  kw_wine 'C:\kelwine\shortpath.exe' "$1" | tr -d '\r'
  rm -f "$WINEPREFIX/dosdevices/$letter:"
}

# Expected file -> text with this prefix's own values: @TEMP@ (the temp folder, short form,
# no trailing backslash), @USER@, @SHORT(path)@.
expand_tokens() {
  local text
  text="$(cat "$1")"
  while [[ "$text" =~ @SHORT\(([^\)]*)\)@ ]]; do
    text="${text//"${BASH_REMATCH[0]}"/"$(short_of "${BASH_REMATCH[1]}")"}"
  done
  text="${text//@TEMP@/"$temp"}"
  text="${text//@USER@/"$user"}"
  printf '%s\n' "$text"
}

# Compares an output with a case's expected file (absent: expect nothing).
compare() { # what, expected file, actual file
  local expected="$work/expected"
  if [ -f "$2" ]; then expand_tokens "$2" >"$expected"; else : >"$expected"; fi
  [ -s "$expected" ] || : >"$expected"
  if ! diff -u "$expected" "$3" >"$work/diff"; then
    reasons+=("$1 differ:")
    mapfile -t lines < <(tail -n +3 "$work/diff")
    reasons+=("${lines[@]}")
  fi
}

# Host path of a Windows path after the run of the current case.
case_host() {
  local letter
  letter="$(printf '%s' "${1:0:1}" | tr 'A-Z' 'a-z')"
  if [ "$letter" = c ]; then kw_host "$1"; else
    local rest="${1:3}"
    printf '%s/drives/%s/%s' "$out" "$letter" "${rest//\\//}"
  fi
}
fail() { reasons+=("$*"); }
helpers="$KW_SESSION/helpers"

cases=("$@")
[ ${#cases[@]} -gt 0 ] || mapfile -t cases < <(cd "$here/cases" && ls -d */ | tr -d /)
for name in "${cases[@]}"; do
  dir="$here/cases/$name"
  out="$work/out/$name"
  reasons=()
  run_args=(--files "$dir/files")
  [ -f "$dir/reg" ] && run_args+=(--reg "$dir/reg")
  [ -f "$dir/arg" ] && run_args+=(--arg "$(head -n1 "$dir/arg")")
  if [ -f "$dir/keys" ]; then
    while read -r key; do [ -n "$key" ] && run_args+=(--key "$key"); done <"$dir/keys"
  fi
  (kw_run "$out" "$launcher" "${run_args[@]}") || {
    report "$name" "the run itself failed"
    continue
  }
  # The standard error box names a code address, which changes with every build.
  sed -E 's/^(text: Exception .* at )[0-9A-F]+\./\1@ADDRESS@./' "$out/boxes" >"$work/boxes"
  compare "boxes" "$dir/boxes" "$work/boxes"
  compare "launches" "$dir/launches" "$out/launches"
  expected_exit="$(cat "$dir/exit" 2>/dev/null || echo 0)"
  [ "$(cat "$out/exit")" = "$expected_exit" ] ||
    fail "exit code: expected $expected_exit, got $(cat "$out/exit")"
  [ -f "$dir/written" ] && compare "written files" "$dir/written" "$out/files"
  [ -f "$dir/keys-after" ] && compare "registry keys" "$dir/keys-after" "$out/keys"
  # shellcheck source=/dev/null
  [ -f "$dir/check" ] && . "$dir/check"
  report "$name" ${reasons[@]+"${reasons[@]}"}
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
