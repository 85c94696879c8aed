#!/usr/bin/env bash
# Ardour 7 as the VST3 host: its scanner must find the bundle's one class, then
# ardour_session.lua uses it headless beside the LV2 build of the same tree.
#   tests/vst3adapter/ardour_vst3.sh BUILD_DIR [OUT]   (e.g. build/release)
# Ardour's cache, configuration and the session stay in OUT (by default
# BUILD_DIR/ardour-vst3): the user's own Ardour setup is never read or written.
set -euo pipefail

build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
bundle="$build/vst3/Spatium.vst3"
out=$(realpath -m "${2:-$build/ardour-vst3}")
scanner=/usr/lib/ardour7/ardour-vst3-scanner
class_id=26EAEA3ECC3DAA27604325C57CE0C5F0

for need in "$scanner" "$(command -v ardour7-lua || true)" "$bundle" "$build/lv2"; do
    if [ ! -e "$need" ]; then
        echo "ardour_vst3: ${need:-ardour7-lua} is missing" >&2
        exit 1
    fi
done

rm -rf "$out"
mkdir -p "$out/home"
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/config" XDG_CACHE_HOME="$out/home/cache"
export XDG_DATA_HOME="$out/home/data" VST3_PATH="$build/vst3" LV2_PATH="$build/lv2"

# The scanner's exit status means nothing: what it prints and the cache it leaves
# are the answer. Ardour keys the cache on the bundle's absolute path and ignores
# it once the library is newer, so the scan comes first on every run.
LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -f -v "$bundle" >"$out/scan.log" 2>&1 || true
fail() {
    echo "ardour_vst3: $1" >&2
    cat "$2" >&2
    exit 1
}
if grep -E '^\[(ERROR|WARNING)\]' "$out/scan.log" >/dev/null ||
    ! grep -Fx '[Info]: Found Plugin: Spatium' "$out/scan.log" >/dev/null; then
    fail "the scanner did not find the plug-in cleanly" "$out/scan.log"
fi
mapfile -t caches < <(find "$XDG_CACHE_HOME/ardour7/vst" -name '*.v3i' 2>/dev/null)
[ "${#caches[@]}" -eq 1 ] || fail "expected one cache file, found ${#caches[@]}" "$out/scan.log"
cache=${caches[0]}
for field in "module=\"$bundle/Contents/x86_64-linux/Spatium.so\"" "uid=\"$class_id\"" \
    'name="Spatium"' 'category="Fx|Spatial"' 'n_inputs="2" n_outputs="2"' \
    'n_aux_inputs="0" n_aux_outputs="0" n_midi_inputs="0" n_midi_outputs="0"'; do
    grep -F -- "$field" "$cache" >/dev/null || fail "the cache lacks $field" "$cache"
done
[ "$(grep -c '<VST3Info ' "$cache")" -eq 1 ] || fail "the cache does not hold one class" "$cache"

# The session, under a time limit: a host that deadlocks in a plug-in call must
# fail the check, not hang the suite. Each step is logged before it runs.
status=0
timeout 120 ardour7-lua "$here/ardour_session.lua" "$out/session" >"$out/session.log" 2>&1 ||
    status=$?
if [ "$status" -ne 0 ]; then
    tail -n 30 "$out/session.log" >&2
    last=$(grep '^step: ' "$out/session.log" | tail -n 1 || true)
    if [ "$status" -eq 124 ]; then
        echo "ardour_vst3: Ardour stopped responding at \"${last#step: }\"" >&2
    else
        echo "ardour_vst3: the session failed (status $status) at \"${last#step: }\"" >&2
    fi
    exit 1
fi
grep -E '^(before saving|after loading) ' "$out/session.log"
grep '^ardour: ' "$out/session.log"
