#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each one for the given
# number of seconds (default 60) on its committed corpus. New inputs go to a scratch
# folder, so the committed corpus stays small; crashes are left in build/fuzz/crashes.
#   ./scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh test
SECONDS_EACH=${1:-60}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
mkdir -p build/fuzz/crashes
targets=("$@")
if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(find build/fuzz/fuzz -maxdepth 2 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort)
fi
for t in "${targets[@]}"; do
    bin=$(find build/fuzz/fuzz -type f -name "$t" -perm -u+x | head -1)
    src=$(find fuzz -type d -name "${t#fuzz_}" | head -1)
    corpus="$src/corpus"
    scratch="build/fuzz/scratch/$t"
    mkdir -p "$scratch" "$corpus"
    echo "=== $t for ${SECONDS_EACH}s ==="
    # The host player opens real editor windows when it has an X server; the server
    # must not reset between its clients, or a window would find it refusing.
    run=()
    if [[ $t == fuzz_host && -z ${DISPLAY:-} ]] && command -v xvfb-run >/dev/null; then
        run=(xvfb-run -a -s "-screen 0 1024x768x24 -noreset")
    fi
    "${run[@]}" "$bin" -max_total_time="$SECONDS_EACH" -artifact_prefix=build/fuzz/crashes/"$t"- \
        -print_final_stats=1 "$scratch" "$corpus" 2>&1 | tail -n 12
done
