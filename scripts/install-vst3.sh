#!/usr/bin/env bash
# Builds the VST3 bundle and installs it where VST3 hosts look on Linux:
# ~/.vst3/Spatium.vst3 (or PREFIX/lib/vst3 when a prefix is given).
# usage: scripts/install-vst3.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium_vst3
if (($#)); then
    cmake --install build/release --component vst3 --prefix "$1"
    echo "Installed $1/lib/vst3/Spatium.vst3"
else
    mkdir -p "$HOME/.vst3"
    rm -rf "$HOME/.vst3/Spatium.vst3"
    cp -r build/release/vst3/Spatium.vst3 "$HOME/.vst3/"
    echo "Installed $HOME/.vst3/Spatium.vst3"
fi
