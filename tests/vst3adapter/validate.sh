#!/usr/bin/env bash
# Runs the official VST3 validator on the bundle, standard and extensive suites.
# usage: validate.sh VALIDATOR BUNDLE [RUNNER...]
# RUNNER (e.g. "wine") runs a Windows validator. Exits 77 (skipped) when the
# validator is not on this machine, as on a user's.
set -uo pipefail
validator=$1
bundle=$2
shift 2
if [ ! -f "$validator" ]; then
    echo "The VST3 validator is not at $validator: skipped."
    exit 77
fi
status=0
for suite in standard extensive; do
    flags=()
    if [ "$suite" = extensive ]; then flags=(-e); fi
    out=$("$@" "$validator" "${flags[@]}" "$bundle" 2>&1)
    code=$?
    result=$(grep -a "Result:" <<<"$out" | tr -d '\r')
    echo "$suite: ${result:-no result line} (exit $code)"
    # Errors inside a passing test and tests that could not be set up count too.
    if [ "$code" -ne 0 ] || ! grep -aq "tests passed, 0 tests failed" <<<"$out" ||
        grep -aq -e "ERROR" -e "Failed to setup test" -e "Invalid" <<<"$out"; then
        grep -a -e "ERROR" -e "Failed" -e "Invalid" <<<"$out" | head -40
        status=1
    fi
done
exit $status
