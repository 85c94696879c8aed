#!/usr/bin/env bash
# Builds Spatium.clap and installs it where CLAP hosts look on Linux:
# ~/.clap/Spatium.clap (or PREFIX/lib/clap when a prefix is given).
# usage: scripts/install-clap.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium_clap
if (($#)); then
    cmake --install build/release --component clap --prefix "$1"
    echo "Installed $1/lib/clap/Spatium.clap"
else
    mkdir -p "$HOME/.clap"
    cp build/release/clap/Spatium.clap "$HOME/.clap/"
    echo "Installed $HOME/.clap/Spatium.clap"
fi
