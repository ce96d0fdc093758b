#!/usr/bin/env bash
# Installs what is needed, builds the simulator and shows what the launcher does with the
# bundled sample medium on a default machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset linux
cmake --build --preset linux --target kelsim
build/linux/tools/kelsim/kelsim --medium examples/sample-medium
