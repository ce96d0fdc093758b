#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
for preset in linux linux-asan; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
for preset in win32 win64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
done
if [ -x tests/wine/run-e2e.sh ]; then
  tests/wine/run-e2e.sh build/win64
fi
