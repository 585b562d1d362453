#!/usr/bin/env bash
# fliran_wine_run (tools/wine-prefix.sh) runs a program once more only when it
# failed with Wine's teardown abort on its standard error, and records each rerun.
#
# A stand-in for wine plays the program: its first run prints the given text to
# standard error and ends with the given exit code, every later run ends with 0.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export FLIRAN_WINEPREFIX="$work/prefix"
# shellcheck source=tools/wine-prefix.sh
source "$here/../../tools/wine-prefix.sh"
fliran_wine_env || exit 1
export FLIRAN_WINE_RERUN_LOG="$work/reruns.log"

cat >"$work/fake-wine" <<'EOF'
#!/usr/bin/env bash
# fake-wine RUNS-FILE EXIT-CODE STDERR-TEXT PROGRAM ARGS...
echo run >>"$1"
if [ "$(wc -l <"$1")" -eq 1 ]; then
    printf '%s\n' "$3" >&2
    exit "$2"
fi
exit 0
EOF
chmod +x "$work/fake-wine"

abort="Inconsistency detected by ld.so: dl-fini.c: 87: _dl_fini: Assertion \`ns != LM_ID_BASE || i == nloaded' failed!"
failures=0
# first exit code ; text on standard error ; runs expected ; exit code expected ; reruns recorded
cases=(
    "127;$abort;2;0;1"
    "134;$abort;2;0;1"
    "1;Expected equality of these values;1;1;0"
    "134;Aborted;1;134;0"
    "0;$abort;1;0;0"
)
for row in "${cases[@]}"; do
    IFS=';' read -r code text want_runs want_rc want_logged <<<"$row"
    rm -f "$work/runs" "$FLIRAN_WINE_RERUN_LOG"
    FLIRAN_WINE=("$work/fake-wine" "$work/runs" "$code" "$text")
    fliran_wine_run prog_tests.exe --gtest_filter=Suite.Case 2>"$work/stderr"
    rc=$?
    runs="$(wc -l <"$work/runs")"
    logged=0
    [ -f "$FLIRAN_WINE_RERUN_LOG" ] && logged="$(wc -l <"$FLIRAN_WINE_RERUN_LOG")"
    if [ "$runs" != "$want_runs" ] || [ "$rc" != "$want_rc" ] || [ "$logged" != "$want_logged" ]; then
        echo "FAILED: exit code $code, stderr \"$text\": runs $runs (want $want_runs)," \
            "exit code $rc (want $want_rc), reruns recorded $logged (want $want_logged)" >&2
        failures=$((failures + 1))
    fi
    grep -qF "$text" "$work/stderr" || {
        echo "FAILED: the program's standard error did not come through: $(cat "$work/stderr")" >&2
        failures=$((failures + 1))
    }
    if [ "$want_logged" = 1 ] && ! grep -q 'prog_tests.exe --gtest_filter=Suite.Case' "$FLIRAN_WINE_RERUN_LOG"; then
        echo "FAILED: the rerun record does not name the test: $(cat "$FLIRAN_WINE_RERUN_LOG")" >&2
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ] && echo "reruns only after the teardown abort, each one recorded"
exit $((failures > 0))
