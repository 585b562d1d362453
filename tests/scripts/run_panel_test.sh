#!/usr/bin/env bash
# Ctrl-C and a closed terminal end everything tools/run-panel.sh started.
#
#   tests/scripts/run_panel_signals_test.sh
#
# For SIGINT (Ctrl-C) and SIGHUP (terminal closed) in turn: starts the run
# script with the virtual board in a session of its own, as a terminal would
# run it in the foreground, waits until the panel's window is shown, sends the
# signal to the whole process group (what the terminal does), and checks that
# the script ends with 128 + the signal number, that no process started for the
# Wine prefix is left (panel, board, Xvfb, wineserver, Wine's own processes)
# and that the port link of the board is gone. Uses the prefix in
# FLIRAN_WINEPREFIX (default: build/check-prefix); the mingw build must exist
# (the script only checks that it is up to date).
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export FLIRAN_WINEPREFIX="${FLIRAN_WINEPREFIX:-$root/build/check-prefix}"
# shellcheck source=tools/wine-prefix.sh
source "$root/tools/wine-prefix.sh"
fliran_wine_env || exit 1

failures=0
fail() {
    echo "FAILED ($sig): $*" >&2
    failures=$((failures + 1))
}

# wait_for SECONDS COMMAND...: true once COMMAND succeeds, false when the time is up.
wait_for() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.1
    done
}
window_shown() {
    local display
    { read -r display <"$FLIRAN_WINE_STATE/display"; } 2>/dev/null || return 1
    [ -n "$(DISPLAY="$display" xdotool search --onlyvisible --name '^ФЛИРАН_1$' 2>/dev/null)" ]
}
script_gone() { ! fliran_wine__pid_running "$pid"; }
nothing_left() { [ -z "$(fliran_wine_processes)" ]; }
# stop_group: ends what a failed case left: the script's group, then the Wine instance.
stop_group() {
    kill -TERM -- "-$pid" 2>/dev/null
    wait_for 10 script_gone || kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    fliran_wine_shutdown
}

for sig in INT HUP; do
    log="$root/build/test-run-panel-$sig.log"
    # setsid: a process group of its own, like a terminal's foreground job; the
    # signals a background job of a script ignores are set back to default.
    setsid env --default-signal=INT,HUP "$root/tools/run-panel.sh" </dev/null >"$log" 2>&1 &
    pid=$!
    if ! wait_for 600 window_shown; then
        fail "the panel's window did not show; log: $(tail -n 5 "$log")"
        stop_group
        continue
    fi
    board="$(cat "$FLIRAN_WINE_STATE"/board-ready.com1 2>/dev/null)"
    kill "-$sig" -- "-$pid"
    if ! wait_for 60 script_gone; then
        fail "the script did not end within 60 s"
        stop_group
        continue
    fi
    wait "$pid"
    rc=$?
    want=$((128 + $(kill -l "$sig")))
    [ "$rc" = "$want" ] || fail "exit code $rc, not $want; log: $(tail -n 5 "$log")"
    if ! wait_for 20 nothing_left; then
        fail "processes are left:"
        fliran_wine_processes >&2
    fi
    link="$(fliran_wine_com_target 1)"
    [ -z "$board" ] && fail "the board never wrote its ready file"
    [ -n "$link" ] && [ "$link" = "$board" ] && fail "the board's link com1 -> $link is left"
done
[ "$failures" -eq 0 ] && echo "Ctrl-C and a closed terminal left nothing running"
exit $((failures > 0))
