#!/usr/bin/env bash
# Builds and runs the whole test suite:
#   1. the release build and every test,
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build and every test,
#   3. the ThreadSanitizer build of the tests that exercise threads,
#   4. the release build with Clang and every test,
#   5. a short run of every fuzz target on its committed corpus (clang, ASan + UBSan),
#   6. the Windows cross-build, its tests and command-line host under Wine.
# Longer fuzzing: scripts/fuzz.sh SECONDS. "scripts/test.sh windows" runs only the
# Windows stage.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
JOBS=$(nproc)
stages=0

# Output of a Windows program with its line ends made Linux ones.
unix_lines() { tr -d '\r'; }

# The cross-built host under Wine against the Linux build of the same tree: the
# same descriptions, renders within 1e-6 (only libm may differ), the same saved
# state, and the same errors with nothing left behind for a bad input.
windows_host_checks() {
    local linux=build/release/bin/spatium windows="wine build/mingw/bin/spatium.exe"
    local compare=build/release/tools/wavcompare/wavcompare
    local dir=build/windows-checks
    rm -rf "$dir"
    mkdir -p "$dir"
    # The describe output names the library it loaded, which is a different file.
    $linux describe --json | grep -v '^  "library": ' >"$dir/describe.linux"
    $windows describe --json | unix_lines | grep -v '^  "library": ' >"$dir/describe.windows"
    cmp "$dir/describe.linux" "$dir/describe.windows"
    for command in params presets; do
        $linux "$command" --json >"$dir/$command.linux"
        $windows "$command" --json | unix_lines >"$dir/$command.windows"
        cmp "$dir/$command.linux" "$dir/$command.windows"
    done

    $linux render -o "$dir/demo.linux.wav" >/dev/null
    $windows render -o "$dir/demo.windows.wav" >/dev/null
    $compare "$dir/demo.linux.wav" "$dir/demo.windows.wav" --tolerance 1e-6
    # A file input with settings, an odd block size and the saved state after it;
    # the output name is not ASCII, which the Windows build opens by its UTF-16 name.
    local settings=(--preset 2 --set Pan=-30 --set Distance=3 --set "LFO > Pan=40" --block 317)
    $linux render "$dir/demo.linux.wav" -o "$dir/set.linux.wav" "${settings[@]}" \
        --save-state "$dir/state.linux" >/dev/null
    $windows render "$dir/demo.linux.wav" -o "$dir/set ♫ Windows.wav" "${settings[@]}" \
        --save-state "$dir/state.windows" >/dev/null
    $compare "$dir/set.linux.wav" "$dir/set ♫ Windows.wav" --tolerance 1e-6
    cmp "$dir/state.linux" "$dir/state.windows"
    # The comparison must see a difference where there is one.
    $linux render "$dir/demo.linux.wav" -o "$dir/other.linux.wav" "${settings[@]}" \
        --set Pan=-29 >/dev/null
    if $compare "$dir/set.linux.wav" "$dir/other.linux.wav" --tolerance 1e-6 >/dev/null; then
        echo "wavcompare missed a difference" >&2
        return 1
    fi

    # Bad inputs: not audio, a WAV header without data, a missing file, a directory
    # as the output. Both fail with the same message and write nothing.
    head -c 3000 /dev/zero | tr '\0' 'x' >"$dir/bad.wav"
    printf 'RIFF\044\000\000\000WAVEfmt ' >"$dir/truncated.wav"
    mkdir "$dir/taken.wav"
    local input output
    for input in bad.wav truncated.wav missing.wav demo.linux.wav; do
        output="$dir/out.wav"
        if [ "$input" = demo.linux.wav ]; then output="$dir/taken.wav"; fi
        if $linux render "$dir/$input" -o "$output" 2>"$dir/error.linux"; then
            echo "render of $input succeeded on Linux" >&2
            return 1
        fi
        if $windows render "$dir/$input" -o "$output" 2>"$dir/error.raw"; then
            echo "render of $input succeeded under Wine" >&2
            return 1
        fi
        unix_lines <"$dir/error.raw" >"$dir/error.windows"
        cmp "$dir/error.linux" "$dir/error.windows"
        if [ -n "$(find "$dir" -maxdepth 1 \( -name '*out.wav*' -o -name '*.partial-*' \))" ]; then
            echo "a failed render of $input left a file behind" >&2
            return 1
        fi
    done
    [ -z "$(ls -A "$dir/taken.wav")" ]

    # The demo cannot read a window back on Windows and must say so, not succeed.
    if wine build/mingw/tools/guidemo/guidemo.exe --capture "$dir/capture.png" 2>"$dir/error.raw"; then
        echo "guidemo --capture reported success on Windows" >&2
        return 1
    fi
    grep -q "not available on Windows" "$dir/error.raw"
    [ ! -e "$dir/capture.png" ]
}

# The editor in a real Win32 window (run under Xvfb): win32host opens it as the
# child of a top-level window and saves what BitBlt reads back, this drags the
# pan knob with XTest, and win32host checks that Pan changed, then closes and
# reopens the editor. $1 is the folder for the pictures and the log.
windows_editor_drag() {
    local log="$1/win32host.log" x="" y="" d status=0
    wine build/mingw/bin/win32host.exe --shot "$1/editor.png" \
        --reopened-shot "$1/editor-reopened.png" >"$log" 2>&1 &
    local host=$!
    for _ in $(seq 300); do
        if grep -q '^ready' "$log" || ! kill -0 "$host" 2>/dev/null; then break; fi
        sleep 0.2
    done
    read -r _ x y < <(grep '^ready' "$log" | unix_lines) || true
    if [ -n "$x" ]; then
        xdotool mousemove "$x" "$y"
        sleep 0.2
        xdotool mousedown 1
        for d in 10 20 30 40; do
            xdotool mousemove "$x" $((y - d))
            sleep 0.05
        done
        xdotool mouseup 1
    fi
    wait "$host" || status=$?
    unix_lines <"$log"
    # Wine's desktop process keeps the display open until the server ends.
    wineserver -w
    return "$status"
}

# Cross-builds the whole tree for 64-bit Windows and runs its tests and host under
# Wine without a display; only the editor check gets an X server of its own.
stage_windows() {
    echo "=== windows ==="
    local started=$SECONDS
    ./scripts/deps-windows.sh
    cmake --preset mingw >/dev/null
    cmake --build --preset mingw -j"$JOBS"
    # The Linux programs the host is compared with (built by the release stage when
    # the whole script runs).
    cmake --preset release >/dev/null
    cmake --build --preset release -j"$JOBS" --target spatium wavcompare
    (
        export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
        unset DISPLAY WAYLAND_DISPLAY
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            # No Mono or Gecko prompts: nothing here needs them.
            WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
            wineserver -w
        fi
        ctest --preset mingw -j"$JOBS"
        windows_host_checks
        wineserver -w
        # The official VST3 validator's Windows build on the cross-built bundle.
        tests/vst3adapter/validate.sh ../shared/tools/vst3/validator.exe \
            "$(winepath -w build/mingw/vst3/Spatium.vst3)" wine || [ $? -eq 77 ]
        wineserver -w
        # xvfb-run's shell drops exported functions, so they travel as text.
        timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
            bash -c "$(declare -f unix_lines windows_editor_drag)"'; windows_editor_drag "$0"' \
            build/windows-checks
    )
    echo "windows stage: $((SECONDS - started)) s"
}

if (($#)); then
    for stage in "$@"; do
        "stage_$stage"
        stages=$((stages + 1))
    done
    echo "stages: $stages passed, 0 failed"
    exit 0
fi

for preset in release asan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$JOBS"
    ctest --preset "$preset" -j"$JOBS"
    stages=$((stages + 1))
done

echo "=== artwork ==="
# The committed pictures and fonts must be what the generator makes.
./scripts/artwork.sh --check
stages=$((stages + 1))

echo "=== tsan ==="
THREADED="client_tests core_tests threadpool_test gui_stress_tests audio_alloc_tests compositor_test font_tests gui_tests view_alloc_tests widget_tests knob_tests editor_alloc_tests editor_session_tests"
cmake --preset tsan >/dev/null
# shellcheck disable=SC2086
cmake --build --preset tsan -j"$JOBS" --target $THREADED
ctest --preset tsan -R "^($(echo $THREADED | tr ' ' '|'))\$"
stages=$((stages + 1))

echo "=== clang ==="
# The whole tree with Clang too, so a GCC-only construct cannot come back.
cmake --preset clang >/dev/null
cmake --build --preset clang -j"$JOBS"
ctest --preset clang -j"$JOBS"
stages=$((stages + 1))

echo "=== lv2 ==="
# The bundle against Debian's LV2 tools: its Turtle validates, lilv lists both
# plug-ins and shows the latency port (release build from stage 1).
BUNDLE=build/release/lv2/spatium.lv2
lv2_validate "$BUNDLE"/*.ttl
# Outputs are taken whole first: grep -q closing a pipe early would fail the stage.
plugins=$(LV2_PATH="$PWD/build/release/lv2" lv2ls)
[ "$(grep -c "spatium.example" <<<"$plugins")" -eq 2 ]
info=$(LV2_PATH="$PWD/build/release/lv2" lv2info https://spatium.example/plugins/spatium/stereo)
grep "Has latency:       yes" <<<"$info" >/dev/null
# Ardour, headless on its dummy backend: both plug-ins on tracks, rolling, a
# preset, the session saved and loaded again.
rm -rf build/ardour-session
if ! LV2_PATH="$PWD/build/release/lv2" ardour7-lua tests/lv2/ardour_session.lua \
    "$PWD/build/ardour-session" >build/ardour-session.log 2>&1; then
    tail -n 20 build/ardour-session.log
    exit 1
fi
grep "came back" build/ardour-session.log
# The VST3 bundle in Ardour too: its scanner finds the class, then a session
# places sources with it, saves and reloads, and compares it with the LV2 build.
tests/vst3adapter/ardour_vst3.sh build/release
stages=$((stages + 1))

echo "=== fuzz ==="
./scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
stages=$((stages + 1))

stage_windows
stages=$((stages + 1))

echo "stages: $stages passed, 0 failed"
