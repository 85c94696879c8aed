#!/usr/bin/env bash
# Builds and runs the whole test suite, one stage after another:
#   release  the release build and every test,
#   asan     the AddressSanitizer + UndefinedBehaviorSanitizer build and every test,
#   artwork  the committed pictures and fonts against their generator,
#   tsan     the ThreadSanitizer build of the tests labelled "threads",
#   clang    the release build with Clang and every test,
#   lv2      the bundle against Debian's LV2 tools and Ardour,
#   fuzz     a short run of every fuzz target on its committed corpus,
#   windows  the Windows cross-build, its tests and command-line host under Wine,
#            and the VST3 bundle through our own VST3 host.
# A failed stage does not stop the later ones; the script ends with what passed and
# failed and exits non-zero after any failure. "scripts/test.sh windows lv2" runs
# only the stages named. Longer fuzzing: scripts/fuzz.sh SECONDS.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh test
JOBS=$(nproc)
VST3_WINDOWS_BINARY=build/mingw/vst3/Spatium.vst3/Contents/x86_64-win/Spatium.vst3
export VST3_WINDOWS_BINARY

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

# Waits for the program writing $1 (process $2) to print "ready X Y", then drags
# from there upward with XTest, as a user turning the pan knob.
drag_when_ready() {
    local x="" y="" d
    for _ in $(seq 300); do
        if grep -q '^ready' "$1" || ! kill -0 "$2" 2>/dev/null; then break; fi
        sleep 0.2
    done
    read -r _ x y < <(grep '^ready' "$1" | unix_lines) || true
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
}

# The editor in a real Win32 window (run under Xvfb): win32host opens it as the
# child of a top-level window and saves what BitBlt reads back, this drags the
# pan knob with XTest, and win32host checks that Pan changed, then closes and
# reopens the editor. $1 is the folder for the pictures and the log.
windows_editor_drag() {
    local log="$1/win32host.log" status=0
    wine build/mingw/bin/win32host.exe --shot "$1/editor.png" \
        --reopened-shot "$1/editor-reopened.png" >"$log" 2>&1 &
    local host=$!
    drag_when_ready "$log" "$host"
    wait "$host" || status=$?
    unix_lines <"$log"
    # Wine's desktop process keeps the display open until the server ends.
    wineserver -w
    return "$status"
}

# The VST3 bundle's editor through our own VST3 host (under Xvfb): an HWND child
# of its window, the pan knob dragged, begin, perform and end edits of Pan seen
# by the host, then closed and reopened.
windows_vst3_editor_drag() {
    local log="$1/vst3host-editor.log" status=0
    if [ ! -f "$VST3_WINDOWS_BINARY" ]; then
        echo "VST3 editor check skipped: $VST3_WINDOWS_BINARY is not built"
        return 0
    fi
    wine build/mingw/bin/vst3host.exe editor >"$log" 2>&1 &
    local host=$!
    drag_when_ready "$log" "$host"
    wait "$host" || status=$?
    unix_lines <"$log"
    wineserver -w
    return "$status"
}

# The VST3 bundle through our own VST3 host under Wine: renders bit for bit equal
# to the Windows command-line host driving the AAX library (mono and stereo in,
# settings, an odd block size); state saved by either build loads in the other
# with the same bytes and audio; changes inside blocks equal cut blocks; the
# host's state, damaged-state, parameter text and automation checks.
windows_vst3_checks() {
    local host="wine build/mingw/bin/vst3host.exe" windows="wine build/mingw/bin/spatium.exe"
    local compare=build/release/tools/wavcompare/wavcompare dir=build/windows-checks/vst3 n file
    if [ ! -f "$VST3_WINDOWS_BINARY" ]; then
        echo "VST3 checks skipped: $VST3_WINDOWS_BINARY is not built"
        return 0
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    local settings=(--set Pan=-30 --set Distance=-3 --set "Stereo Width=140" --set "Dry / Wet=85")
    for n in 1 2; do
        $host signal "$dir/in$n.wav" --channels "$n"
        $windows render "$dir/in$n.wav" -o "$dir/aax$n.wav" --no-compensate --block 317 \
            "${settings[@]}" >/dev/null
        $host render "$dir/in$n.wav" -o "$dir/vst3-$n.wav" --block 317 "${settings[@]}"
        $compare "$dir/aax$n.wav" "$dir/vst3-$n.wav"
    done

    # AAX state into the VST3 build: the same audio as the AAX build restoring it
    # (a chunk keeps values as floats, so both sides render from restored state),
    # and the VST3 state begins with the AAX file's bytes.
    $windows render "$dir/in2.wav" -o "$dir/aax-set.wav" --block 512 --preset 8 --set Pan=12 \
        --save-state "$dir/aax.state" >/dev/null
    $windows render "$dir/in2.wav" -o "$dir/aax-state.wav" --no-compensate --block 512 \
        --state "$dir/aax.state" >/dev/null
    $host render "$dir/in2.wav" -o "$dir/vst3-state.wav" --block 512 --state "$dir/aax.state" \
        --save-state "$dir/vst3.state" --save-chunk "$dir/vst3.chunk"
    $compare "$dir/aax-state.wav" "$dir/vst3-state.wav"
    cmp "$dir/aax.state" "$dir/vst3.chunk"
    cmp -n "$(stat -c %s "$dir/aax.state")" "$dir/aax.state" "$dir/vst3.state"
    # VST3 state into the AAX build, its chunk alone and whole.
    $host render "$dir/in2.wav" -o "$dir/vst3-set.wav" --block 512 "${settings[@]}" \
        --save-chunk "$dir/set.chunk" --save-state "$dir/set.state"
    $host render "$dir/in2.wav" -o "$dir/vst3-restored.wav" --block 512 --state "$dir/set.state"
    for file in set.chunk set.state; do
        $windows state check "$dir/$file" >/dev/null
        $windows render "$dir/in2.wav" -o "$dir/aax-$file.wav" --no-compensate --block 512 \
            --state "$dir/$file" --save-state "$dir/aax-$file" >/dev/null
        $compare "$dir/vst3-restored.wav" "$dir/aax-$file.wav"
        cmp "$dir/set.chunk" "$dir/aax-$file"
    done

    local at=(--block 256 --at 100 Pan=40 --at 100 Distance=-10 --at 383 "Stereo Width=60"
        --at 511 Pan=-80 --at 512 "Test Mono=yes")
    $host render "$dir/in1.wav" -o "$dir/at.wav" "${at[@]}"
    $host render "$dir/in1.wav" -o "$dir/cut.wav" "${at[@]}" --cut
    $compare "$dir/at.wav" "$dir/cut.wav"
    if $compare "$dir/at.wav" "$dir/vst3-1.wav" >/dev/null 2>&1; then
        echo "the automated render equals the plain one" >&2
        return 1
    fi
    $host check "$dir/in2.wav" --block 480 "${settings[@]}" | unix_lines
}

# Cross-builds the whole tree for 64-bit Windows and runs its tests and host under
# Wine without a display; only the editor check gets an X server of its own.
stage_windows() {
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
        windows_vst3_checks
        wineserver -w
        # The official VST3 validator's Windows build on the cross-built bundle.
        tests/vst3adapter/validate.sh ../shared/tools/vst3/validator.exe \
            "$(winepath -w build/mingw/vst3/Spatium.vst3)" wine || [ $? -eq 77 ]
        wineserver -w
        # xvfb-run's shell drops exported functions, so they travel as text.
        timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
            bash -c "$(declare -f unix_lines drag_when_ready windows_editor_drag \
                windows_vst3_editor_drag)"'; windows_editor_drag "$0" && windows_vst3_editor_drag "$0"' \
            build/windows-checks
    )
}

# A configuration built whole with all its tests run.
build_and_test() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j"$JOBS"
    ctest --preset "$1" -j"$JOBS"
}

stage_release() { build_and_test release; }
stage_asan() { build_and_test asan; }
# The whole tree with Clang too, so a GCC-only construct cannot come back.
stage_clang() { build_and_test clang; }

stage_artwork() { ./scripts/artwork.sh --check; }

# The programs whose tests run threads carry the CTest label "threads"; the target
# threaded_tests builds those programs.
stage_tsan() {
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan -j"$JOBS" --target threaded_tests
    ctest --preset tsan -L threads
}

# The bundle against Debian's LV2 tools: its Turtle validates, lilv lists both
# plug-ins and shows the latency port (release build from the release stage).
stage_lv2() {
    local bundle=build/release/lv2/spatium.lv2
    lv2_validate "$bundle"/*.ttl
    # Outputs are taken whole first: grep -q closing a pipe early would fail the stage.
    local plugins info
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
        return 1
    fi
    grep "came back" build/ardour-session.log
    # The VST3 bundle in Ardour too: its scanner finds the class, then a session
    # places sources with it, saves and reloads, and compares it with the LV2 build.
    tests/vst3adapter/ardour_vst3.sh build/release
}

stage_fuzz() { ./scripts/fuzz.sh "${FUZZ_SECONDS:-10}"; }

ALL_STAGES=(release asan artwork tsan clang lv2 fuzz windows)
stages=("${ALL_STAGES[@]}")
if (($#)); then stages=("$@"); fi
for stage in "${stages[@]}"; do
    if ! declare -F "stage_$stage" >/dev/null; then
        echo "test.sh: no stage '$stage' (${ALL_STAGES[*]})" >&2
        exit 2
    fi
done

passed=0
failed=()
summary=()
for stage in "${stages[@]}"; do
    echo "=== $stage ==="
    started=$SECONDS
    # In a subshell of its own with errexit on: the first failing command ends the
    # stage, not the script. (errexit would be ignored inside "if" or "||".)
    set +e
    (
        set -e
        "stage_$stage"
    )
    status=$?
    set -e
    if ((status == 0)); then
        passed=$((passed + 1))
        result=passed
    else
        failed+=("$stage")
        result="FAILED (exit $status)"
    fi
    summary+=("$(printf '%-8s %s in %d s' "$stage" "$result" $((SECONDS - started)))")
    echo "=== $stage: $result ==="
done

echo "=== summary ==="
printf '%s\n' "${summary[@]}"
echo "stages: $passed passed, ${#failed[@]} failed"
((${#failed[@]} == 0))
