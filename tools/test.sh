#!/usr/bin/env bash
# Runs every test of the project: the platform-free core natively (g++ with
# AddressSanitizer and UndefinedBehaviorSanitizer) and the Windows build
# (MinGW-w64 cross build, test programs run under Wine on a private Xvfb).
#
# Works on a fresh Debian machine: missing packages are installed with
# apt-get (needs root). A second run only rebuilds what changed.
#
#   tools/test.sh            configure, build and test both presets
#   FLIRAN_PRESETS="native" tools/test.sh    only some presets
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"

# Stops the shared Wine instance if a run was interrupted and nobody else
# still uses it, so no Xvfb or wineserver outlives this script.
cleanup() {
    "$ROOT/tools/wine-run.sh" --cleanup >/dev/null 2>&1 || true
}
trap cleanup EXIT

declare -a SUMMARY=()
TOTAL_PASSED=0
TOTAL_FAILED=0
STATUS=0

# run_preset NAME: configure, build and test one preset; records the result.
run_preset() {
    local preset="$1" log="$ROOT/build/test-$1.log" start=$SECONDS step line
    mkdir -p "$ROOT/build"
    echo "== $preset: configure"
    step=configure
    if cmake --preset "$preset" >"$log" 2>&1; then
        echo "== $preset: build"
        step=build
        if cmake --build --preset "$preset" -j2 >>"$log" 2>&1; then
            echo "== $preset: test"
            step=test
            ctest --preset "$preset" 2>&1 | tee -a "$log"
            if [ "${PIPESTATUS[0]}" -eq 0 ]; then
                step=""
            fi
            # "100% tests passed, 0 tests failed out of 42"
            line="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
            if [[ "$line" =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
                TOTAL_FAILED=$((TOTAL_FAILED + BASH_REMATCH[1]))
                TOTAL_PASSED=$((TOTAL_PASSED + BASH_REMATCH[2] - BASH_REMATCH[1]))
            fi
        fi
    fi
    if [ -n "$step" ]; then
        STATUS=1
        if [ "$step" != test ]; then
            echo "== $preset: $step FAILED; last lines of $log:"
            tail -n 40 "$log"
        fi
        SUMMARY+=("$(printf '%-8s FAILED at %s (%ds, log: %s)' "$preset" "$step" $((SECONDS - start)) "${log#"$ROOT"/}")")
    else
        SUMMARY+=("$(printf '%-8s ok: %s (%ds)' "$preset" "${line:-no test summary}" $((SECONDS - start)))")
    fi
}

if ! fliran_install_packages; then
    echo "test.sh: package installation failed" >&2
    exit 1
fi

for preset in ${FLIRAN_PRESETS:-native mingw}; do
    run_preset "$preset"
done

echo
echo "== summary"
for line in "${SUMMARY[@]}"; do
    echo "   $line"
done
echo "tests: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
exit "$STATUS"
