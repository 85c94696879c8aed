#!/bin/sh
# The editor's share of a core on a real X server, as a user meets it: `spatium
# editor` playing the demo, then a silent file, nothing touched. Each thread's
# processor time is read from /proc over a window after a warm-up; the editor's
# threads are the main one (the host's editor thread) and the "corvid-pool"
# workers, the audio thread is "spatium-audio".
#
# usage: bench/editor/editor_cpu.sh [BUILD_DIR] [SECONDS]
# Without DISPLAY a private Xvfb is started (package xvfb).
set -eu

build=${1:-build/release}
seconds=${2:-15}
warmup=3
spatium="$build/bin/spatium"
[ -x "$spatium" ] || { echo "no $spatium: build the release preset first" >&2; exit 1; }
command -v bc >/dev/null || { echo "bc is needed" >&2; exit 1; }

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null || { echo "no DISPLAY and no Xvfb" >&2; exit 1; }
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb=$!
        export DISPLAY=":$n"
        break
    done
    sleep 1
fi

# Two seconds of mono 16-bit silence at 48 kHz: a 44-byte header, then zeros.
silence="$work/silence.wav"
frames=96000
le32() { # a 32-bit little-endian number
    for shift in 0 8 16 24; do
        printf "\\$(printf '%03o' $((($1 >> shift) & 255)))"
    done
}
{
    printf 'RIFF'
    le32 $((36 + 2 * frames))
    printf 'WAVEfmt '
    le32 16
    printf '\001\000\001\000' # PCM, one channel
    le32 48000
    le32 96000
    printf '\002\000\020\000data' # 2 bytes a frame, 16 bits
    le32 $((2 * frames))
    head -c $((2 * frames)) /dev/zero
} >"$silence"

tick=$(getconf CLK_TCK)
threadTimes() { # pid -> "name ticks" per thread
    for t in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" \
            "$(awk '{print $14 + $15}' "$t/stat")"
    done | sort
}

measure() { # title, then the arguments of spatium editor
    title=$1
    shift
    "$spatium" editor "$@" --seconds $((seconds + warmup + 2)) >/dev/null 2>&1 &
    pid=$!
    sleep "$warmup"
    before=$(threadTimes "$pid")
    sleep "$seconds"
    after=$(threadTimes "$pid")
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    echo "$title ($seconds s, % of one core):"
    echo "$before" >"$work/before"
    echo "$after" >"$work/after"
    join "$work/before" "$work/after" | awk -v t="$tick" -v s="$seconds" '
        { share = ($5 - $3) * 100 / t / s
          if ($2 != "spatium-audio") editor += share
          printf "  %-14s %6.2f\n", $2, share }
        END { printf "  editor threads %6.2f\n", editor }'
}

measure "demo playing"
measure "silent file playing" "$silence"
