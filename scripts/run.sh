#!/usr/bin/env bash
# Builds the release configuration and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium-info
./build/release/tools/info/spatium-info
