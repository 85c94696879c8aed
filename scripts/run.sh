#!/usr/bin/env bash
# Builds the plug-in library and the spatium command-line host (release, without
# the tests and benchmarks) and runs the main job: the host loads the library,
# renders the built-in demo (a mono source moving across the stereo field and
# away) through it, and draws the plug-in's lit editor, without a display, while
# that demo feeds it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh run
# The release preset turns the tests back on for scripts/test.sh.
cmake --preset release -DSPATIUM_TESTS=OFF -DSPATIUM_BENCH=OFF >/dev/null
cmake --build --preset release -j"$(nproc)" --target spatium_aax spatium
out="$PWD/build/release/spatium-demo.wav"
./build/release/bin/spatium render -o "$out"
echo "demo written to $out"
shot="$PWD/build/release/spatium-editor.png"
./build/release/bin/spatium editor --screenshot "$shot" --frames 60
echo "editor drawn to $shot"
