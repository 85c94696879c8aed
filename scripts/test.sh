#!/usr/bin/env bash
# Builds and runs the whole test suite: the release build, then the
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
JOBS=$(nproc)
for preset in release asan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$JOBS"
    ctest --preset "$preset" -j"$JOBS"
done
