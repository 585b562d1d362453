#!/usr/bin/env bash
# Runs every test of the project: the platform-free core natively (g++ with
# AddressSanitizer and UndefinedBehaviorSanitizer), the Windows build
# (MinGW-w64 cross build, test programs run under Wine on a private Xvfb) and
# the same Windows code and tests built with Wine's own tool chain (winegcc)
# with both sanitizers, run under Wine (the winelib preset).
#
# Works on a fresh Debian machine: missing packages are installed with
# apt-get (needs root). A second run only rebuilds what changed.
#
# After the mingw preset the run command itself is checked as on a first run
# (tools/run-panel.sh --check with a Wine prefix created from nothing), then the
# release packages are built, installed, started and removed under Wine
# (tests/scripts/release_test.sh), and the trace debugger's web view is driven in headless
# Chromium beside the traced panel (tests/scripts/web_view_test.sh, reusing both builds and the
# check's Wine prefix). Last, every fuzz target runs briefly (tools/fuzz.sh, 10 s each), its
# committed corpus first.
#
#   tools/test.sh            configure, build and test the three presets, check the run command
#   FLIRAN_PRESETS="native" tools/test.sh    only some presets (the check needs mingw)
#
# The summary lists every test program that was run a second time because
# Wine's process teardown aborted after it (see tools/wine-run.sh).
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
# A trace switch left exported in the shell would make every panel a test starts wait at its
# first hop for a debugger nobody started. The tests that trace set it themselves.
unset FLIRAN_TRACE FLIRAN_TRACE_PORT

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
MINGW_BUILT=0

# wine-run.sh records its reruns here.
export FLIRAN_WINE_RERUN_LOG="$ROOT/build/wine-reruns.log"
mkdir -p "$ROOT/build"
: >"$FLIRAN_WINE_RERUN_LOG"

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
            [ "$preset" = mingw ] && MINGW_BUILT=1
            echo "== $preset: test"
            step="test"
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

if ! fliran_install_packages "${FLIRAN_PACKAGES[@]}" "${FLIRAN_FUZZ_PACKAGES[@]}" "${FLIRAN_RELEASE_PACKAGES[@]}" \
    "${FLIRAN_WEB_PACKAGES[@]}"; then
    echo "test.sh: installing the missing packages failed" >&2
    echo "test.sh: run it once with sudo (sudo tools/test.sh): it installs them and goes on as you" >&2
    exit 1
fi
fliran_as_invoking_user "$ROOT" "$ROOT/tools/test.sh"

# script_step NAME LOG COMMAND...: runs one check of the run command, its
# output going to LOG; counts it as one test and records the result.
script_step() {
    local name="$1" log="$2" start=$SECONDS
    shift 2
    echo "== $name"
    if "$@" </dev/null >"$log" 2>&1; then
        TOTAL_PASSED=$((TOTAL_PASSED + 1))
        SUMMARY+=("$(printf '%-8s ok: %s (%ds)' "${name%%:*}" "$(tail -n 1 "$log")" $((SECONDS - start)))")
    else
        STATUS=1
        TOTAL_FAILED=$((TOTAL_FAILED + 1))
        echo "== $name FAILED; last lines of $log:"
        tail -n 40 "$log"
        SUMMARY+=("$(printf '%-8s FAILED: %s (%ds, log: %s)' "${name%%:*}" "${name#*: }" \
            $((SECONDS - start)) "${log#"$ROOT"/}")")
    fi
}

# The README's run command as on a new user's first run: a Wine prefix of its
# own, created from nothing; the panel started with the virtual board, shown,
# photographed, closed, nothing of the run left behind. Then the run command's
# stories (tests/scripts/run_panel_test.sh): signals, a second run, a device, a
# traced run, a killed run, "-- /ih".
check_run_panel() {
    export FLIRAN_WINEPREFIX="$ROOT/build/check-prefix"
    "$ROOT/tools/wine-run.sh" --shutdown >/dev/null 2>&1
    rm -rf "$FLIRAN_WINEPREFIX" "$FLIRAN_WINEPREFIX.run"
    # With the trace switch exported, as a user may have left it: the check must run untraced.
    script_step "run-panel: check (Wine prefix created from nothing)" "$ROOT/build/test-run-panel.log" \
        env FLIRAN_TRACE=1 "$ROOT/tools/run-panel.sh" --check
    script_step "run-panel: the run command as users meet it" "$ROOT/build/test-run-panel-stories.log" \
        "$ROOT/tests/scripts/run_panel_test.sh"
    unset FLIRAN_WINEPREFIX
}

# A short soak of the panel (tools/soak.sh --actions 500): real input for about 500 actions, every
# line at the board checked, the handle, GDI object and window counts flat. It runs in the tree's
# Wine prefix, which the mingw tests made and have left by now (a prefix of its own would have to be
# created first, which takes longer than the soak).
check_soak() {
    script_step "soak: a short soak of the panel (500 actions)" "$ROOT/build/test-soak.log" \
        env FLIRAN_WINEPREFIX="$ROOT/build/wine-prefix" "$ROOT/tools/soak.sh" --actions 500
}

for preset in ${FLIRAN_PRESETS:-native mingw winelib}; do
    run_preset "$preset"
done
if [ "$MINGW_BUILT" = 1 ]; then
    check_run_panel
    check_soak
    # tools/release.sh on its own build tree, then the packages in a Wine prefix made from nothing.
    script_step "release: the zip and the installer under Wine" "$ROOT/build/test-release.log" \
        "$ROOT/tests/scripts/release_test.sh"
    # The web view in a browser with the traced panel under Wine and the virtual board.
    script_step "web: the trace debugger's page in Chromium with the traced panel" "$ROOT/build/test-web.log" \
        "$ROOT/tests/scripts/web_view_test.sh"
fi
# Each fuzz target for a short while: the inputs that once failed are tried again, and a few
# seconds of new ones.
script_step "fuzz: the fuzz targets, 6 s each" "$ROOT/build/test-fuzz.log" "$ROOT/tools/fuzz.sh" 6

echo
echo "== summary"
for line in "${SUMMARY[@]}"; do
    echo "   $line"
done
if [ -s "$FLIRAN_WINE_RERUN_LOG" ]; then
    echo "   run again after Wine's teardown abort (ld.so's _dl_fini assertion):"
    sed 's/^/     /' "$FLIRAN_WINE_RERUN_LOG"
else
    echo "   no test program was run again"
fi
echo "tests: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
exit "$STATUS"
