#!/usr/bin/env bash
# Builds the LV2 bundle (release, without the tests and benchmarks) and installs it
# where LV2 hosts look: ~/.local/lib/lv2 by default, or PREFIX/lib/lv2 (a
# system-wide /usr/local needs root).
#   ./scripts/install-lv2.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-$HOME/.local}
./scripts/deps.sh lv2
# The release preset turns the tests back on for scripts/test.sh.
cmake --preset release -DSPATIUM_TESTS=OFF -DSPATIUM_BENCH=OFF >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium_lv2
cmake --install build/release --prefix "$prefix" --component lv2
echo "installed $prefix/lib/lv2/spatium.lv2"
