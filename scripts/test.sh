#!/usr/bin/env bash
# Installs what is needed, builds every configuration and runs every test suite:
#   1. unit, scenario, fault-sweep and LZ tests on the emulated Win32 (linux preset);
#   2. the same under AddressSanitizer + UndefinedBehaviorSanitizer with leak checking,
#      and a bounded fuzzing run of the LZ decoder;
#   3. the Windows builds: 32-bit release and the 64-bit twin;
#   4. under Wine: the conformance suite against the real API (the same tests ran against
#      the emulation in stage 1), the real Setup.exe's end-to-end cases, the scenarios
#      compared with the emulation, and Wine's LZ32 compared with our decoder.
# Stops at the first failing stage; prints a summary of the stages at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
stages=()

stage() {
  local name=$1
  shift
  echo "=== $name"
  "$@"
  stages+=("passed: $name")
}

for preset in linux linux-asan; do
  stage "configure $preset" cmake --preset "$preset"
  stage "build $preset" cmake --build --preset "$preset" -j "$jobs"
  stage "tests $preset" ctest --preset "$preset" -j "$jobs"
done
stage "fuzz the LZ decoder (60 s)" bash scripts/fuzz-lz.sh 60

for preset in win32 win64; do
  stage "configure $preset" cmake --preset "$preset"
  stage "build $preset" cmake --build --preset "$preset" -j "$jobs"
done

stage "conformance suite under Wine" bash tests/wine/run-conformance.sh build/win64
stage "end-to-end under Wine" bash tests/wine/run-e2e.sh build/win64
stage "scenarios: Wine against the emulation" \
  bash tests/scenarios/run-wine.sh build/linux/tools/kelsim/kelsim build/win64/windows/Setup.exe
stage "LZ32 under Wine against our decoder" bash tests/wine/lzdiff/run.sh

printf '%s\n' "${stages[@]}"
echo "stages: ${#stages[@]} passed, 0 failed"
