#!/usr/bin/env bash
# Rebuilds examples/sample-medium/Kel.Ex_: the sample engine, compiled with mingw-w64 and
# compressed with Debian's mscompress. 64-bit, so that it also runs under the 64-bit Wine of
# the test suite.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-gcc -Os -s -mwindows -o "$work/Kel.Ex" "$here/sample-engine.c"
(cd "$work" && mscompress Kel.Ex)
cp "$work/Kel.Ex_" "$here/../sample-medium/Kel.Ex_"
