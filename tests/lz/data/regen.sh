#!/usr/bin/env bash
# Rebuilds the sample files and their compressed forms.
# Compressed with Debian's mscompress 0.4, no options ("mscompress FILE" writes "FILE_"),
# then renamed to FILE.SZ. mscompress mangles inputs shorter than 16 bytes, so every
# sample here is at least 16 bytes long.
set -euo pipefail
cd "$(dirname "$0")"
python3 - <<'PY'
import random
random.seed(20240601)
open('hello.txt', 'wb').write(b'This is a test file.')
words = b'setup medium engine module folder registry expand window space launcher data'.split()
lines = []
for n in range(400):
    lines.append(b' '.join(random.choice(words) for _ in range(random.randint(3, 12))))
open('text.txt', 'wb').write(b'\r\n'.join(lines) + b'\r\n')
open('zeros.bin', 'wb').write(bytes(20000))
open('spaces.txt', 'wb').write(b' ' * 5000)
open('random.bin', 'wb').write(bytes(random.getrandbits(8) for _ in range(6000)))
open('ramp.bin', 'wb').write(bytes(i & 0xFF for i in range(70000)))
PY
for f in hello.txt text.txt zeros.bin spaces.txt random.bin ramp.bin; do
  rm -f "$f"_ "$f".SZ
  mscompress "$f"
  mv "$f"_ "$f".SZ
done
