#!/usr/bin/env bash
# Builds the LV2 bundle and installs it where LV2 hosts look: ~/.local/lib/lv2 by
# default, or PREFIX/lib/lv2 (a system-wide /usr/local needs root).
#   ./scripts/install-lv2.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-$HOME/.local}
./scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium_lv2
cmake --install build/release --prefix "$prefix" --component lv2
echo "installed $prefix/lib/lv2/spatium.lv2"
