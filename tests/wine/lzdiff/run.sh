#!/usr/bin/env bash
# Expands the same inputs (valid and malformed SZDD, plain files) with Wine's LZ32 and with
# our emulation, and compares LZCopy's results and the output bytes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
work=$(mktemp -d)
# Stop this prefix's wineserver before removing the prefix it writes into.
cleanup() {
  if [ -d "$work/prefix" ]; then
    WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/in" "$work/out"

x86_64-w64-mingw32-gcc -O2 -Wall -o "$work/lzexpand.exe" "$here/lzexpand_main.c" -llz32
g++ -std=c++20 -O2 -I"$root" "$root"/emu/*.cpp "$here/lzexpand_emu.cpp" -o "$work/lzexpand_emu"

# Inputs: the committed samples and their originals, then malformed variants.
cp "$root"/tests/lz/data/*.SZ "$work/in/"
cp "$root"/tests/lz/data/hello.txt "$root"/tests/lz/data/random.bin "$work/in/"
python3 - "$root/tests/lz/data/text.txt.SZ" "$work/in" <<'PY'
import sys, struct
sz = open(sys.argv[1], 'rb').read()
out = sys.argv[2]
def put(name, data): open(f'{out}/{name}', 'wb').write(data)
for cut in (0, 8, 13, 14, 15, 16, 17, 100, 101, 102, len(sz) - 1):
    put(f'cut-{cut}', sz[:cut])
put('length-short', sz[:10] + struct.pack('<I', 5) + sz[14:])
put('length-long', sz[:10] + struct.pack('<I', 1 << 30) + sz[14:])
put('mode-B', sz[:8] + b'B' + sz[9:])
put('magic-only', sz[:8])
put('header-only', sz[:14])
put('trailing-flag', sz + b'\xff')
put('trailing-match-byte', sz + b'\x00\xf0')
PY

export WINEPREFIX="$work/prefix" WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1

failed=0
for f in "$work"/in/*; do
  name=$(basename "$f")
  winSrc="Z:${f//\//\\}"
  winDst="Z:${work//\//\\}\\out\\$name.wine"
  wineSays=$(/usr/lib/wine/wine64 "$work/lzexpand.exe" "$winSrc" "$winDst" | tr -d '\r')
  oursSays=$("$work/lzexpand_emu" "$f" "$work/out/$name.emu")
  [ -f "$work/out/$name.wine" ] || : >"$work/out/$name.wine"
  if [ "$wineSays" == "$oursSays" ] && cmp -s "$work/out/$name.wine" "$work/out/$name.emu"; then
    echo "same    $name: $oursSays"
  else
    echo "DIFFERS $name: wine [$wineSays] ours [$oursSays]"
    failed=1
  fi
done
exit $failed
