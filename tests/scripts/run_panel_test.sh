#!/usr/bin/env bash
# The run command (tools/run-panel.sh) as users meet it: it ends everything it started on Ctrl-C
# and on a closed terminal, refuses a second run on a port in use, takes a relative --device from
# where the user is and gives the device its settings back, waits for the trace debugger before a
# traced panel starts, ends the Wine processes a killed run left, and passes "-- /ih" to the panel.
#
#   tests/scripts/run_panel_test.sh
#
# Every run is started in a session of its own, as a terminal runs a foreground job, and ended by
# a signal to its whole process group (what the terminal does) or by the panel closing. After each
# run no process started for the Wine prefix may be left (panel, board, Xvfb, wineserver, Wine's
# own processes) and no port link the run made. Uses the prefix in FLIRAN_WINEPREFIX (default:
# build/check-prefix); the mingw and native builds must exist (the script only checks that they
# are up to date).
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export FLIRAN_WINEPREFIX="${FLIRAN_WINEPREFIX:-$root/build/check-prefix}"
unset FLIRAN_TRACE FLIRAN_TRACE_PORT DISPLAY
# shellcheck source=tools/wine-prefix.sh
source "$root/tools/wine-prefix.sh"
fliran_wine_env || exit 1
work="$(mktemp -d)"
socat_pid=""
debugger_pid=""
trap 'exec 3>&-; for p in $socat_pid $debugger_pid; do kill "$p" 2>/dev/null; done; [ -n "${FLIRAN_KEEP_TEST_FILES:-}" ] || rm -rf "$work"' EXIT

failures=0
story=""
fail() {
    echo "FAILED ($story): $*" >&2
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
# shown CAPTION: the id of a shown window with that caption on the session's display.
shown() {
    local display
    { read -r display <"$FLIRAN_WINE_STATE/display"; } 2>/dev/null || return 1
    window="$(DISPLAY="$display" xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)"
    [ -n "$window" ]
}
script_gone() { ! fliran_wine__pid_running "$pid"; }
nothing_left() { [ -z "$(fliran_wine_processes)" ]; }
logged() { grep -qF -- "$1" "$log"; }

# start NAME [ENV=VALUE...] -- ARGS...: starts the run script in a session of its own (the signals
# a background job of a script ignores set back to default) from the folder in $from.
start() {
    story="$1"
    shift
    local env=()
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    log="$work/$story.log"
    (cd "${from:-$root}" &&
        exec setsid env --default-signal=INT,HUP "${env[@]}" "$root/tools/run-panel.sh" "$@" \
            </dev/null >"$log" 2>&1) &
    pid=$!
}
# finish SIGNAL|- WANT-EXIT-CODE: ends the run with SIGNAL to its group (- to let it end by
# itself), then checks its exit code and that nothing of it is left.
finish() {
    [ "$1" != - ] && kill "-$1" -- "-$pid"
    if ! wait_for 60 script_gone; then
        fail "the script did not end within 60 s; log: $(tail -n 5 "$log")"
        kill -KILL -- "-$pid" 2>/dev/null
        fliran_wine_shutdown
    fi
    wait "$pid"
    rc=$?
    [ "$rc" = "$2" ] || fail "exit code $rc, not $2; log: $(tail -n 5 "$log")"
    if ! wait_for 20 nothing_left; then
        fail "processes are left:"
        fliran_wine_processes >&2
        fliran_wine_shutdown
    fi
}
# window_or_fail CAPTION: waits until the run shows a window with CAPTION.
window_or_fail() {
    wait_for 300 shown "$1" && return 0
    fail "no window \"$1\" was shown; log: $(tail -n 5 "$log")"
    return 1
}

# --- Arguments: help from anywhere, a bad trace port (nothing is built or started) ---------------
story=help
help="$(cd / && bash "$root/tools/run-panel.sh" --help)" || fail "--help failed"
for want in "--device DEV" "--com N" "--check" "-- ARGS" "/ih" "FLIRAN_TRACE_PORT" "FLIRAN_WINEPREFIX" \
    "sudo"; do
    grep -qF -- "$want" <<<"$help" || fail "--help run from / says nothing of $want"
done
story="bad trace port"
for port in 5120x 99999 0 ""; do
    out="$(FLIRAN_TRACE=1 FLIRAN_TRACE_PORT="$port" timeout 20 "$root/tools/run-panel.sh" 2>&1 </dev/null)" &&
        fail "FLIRAN_TRACE_PORT=\"$port\" was taken"
    grep -qF "FLIRAN_TRACE_PORT=$port is not a port" <<<"$out" || fail "FLIRAN_TRACE_PORT=\"$port\": $out"
done

# --- Ctrl-C, with a second run on the same port refused meanwhile ----------------------------------
start ctrl-c --
if window_or_fail "ФЛИРАН_1"; then
    logged "log: build/run-panel-build.log" && logged "== built" || fail "the build's stages were not shown"
    board="$(cat "$FLIRAN_WINE_STATE"/board-ready.com1 2>/dev/null)"
    out="$(timeout 60 "$root/tools/run-panel.sh" 2>&1 </dev/null)" && fail "a second run on port 1 was started"
    grep -qF "port 1 is used by another run of the panel: tools/run-panel.sh, pid $pid" <<<"$out" &&
        grep -qF -- "--com 2" <<<"$out" || fail "the second run's refusal: $out"
    [ "$(fliran_wine_com_target 1)" = "$board" ] || fail "the second run changed the port link of the first"
    finish INT 130
    link="$(fliran_wine_com_target 1)"
    [ -n "$board" ] && [ "$link" = "$board" ] && fail "the board's link com1 -> $link is left"
else
    finish KILL 137
fi

# --- A closed terminal, with a real device named relative to where the user is ---------------------
story=hang-up
# Helpers of the test itself run without the prefix in their environment: they are not the run's.
env -u WINEPREFIX socat pty,link="$work/tty" pty,link="$work/far",raw,echo=0 2>"$work/socat.log" &
socat_pid=$!
wait_for 10 test -e "$work/far" || fail "socat made no ptys: $(cat "$work/socat.log")"
exec 3<>"$work/far"
before="$(stty -g -F "$work/tty")"
from="$work" start hang-up -- --device tty --com 4
if window_or_fail "ФЛИРАН_1"; then
    [ "$(fliran_wine_com_target 4)" = "$work/tty" ] || fail "com4 is $(fliran_wine_com_target 4), not $work/tty"
    [ "$(stty -g -F "$work/tty")" != "$before" ] || fail "the device was not put into raw mode"
    finish HUP 129
    [ "$(stty -g -F "$work/tty")" = "$before" ] || fail "the device's settings were not restored"
    [ -z "$(fliran_wine_com_target 4)" ] || fail "the link com4 is left"
else
    finish KILL 137
fi
from=""

# --- Traced: the panel starts once the debugger listens --------------------------------------------
trace_port=$((20000 + $$ % 20000))
start traced FLIRAN_TRACE=1 FLIRAN_TRACE_PORT="$trace_port" -- --com 2
if wait_for 300 logged "build/native/trace_debugger --port $trace_port"; then
    sleep 2
    fliran_wine_processes | awk '$2 ~ /fliran-panel\.exe$/ { found = 1 } END { exit !found }' && fail "the panel started before the debugger listened"
    env -u WINEPREFIX "$root/build/native/trace_debugger" --port "$trace_port" --run \
        < <(exec env -u WINEPREFIX sleep 300) >"$work/debugger.log" 2>&1 &
    debugger_pid=$!
    window_or_fail "ФЛИРАН_1" && logged "the debugger listens on 127.0.0.1:$trace_port" ||
        fail "the run did not say the debugger listens"
    finish INT 130
else
    fail "the run did not say which debugger to start; log: $(tail -n 5 "$log")"
    finish INT 130
fi

# --- A run killed outright with its Wine session; the next run ends what it left -------------------
start killed -- --com 3
if window_or_fail "ФЛИРАН_1"; then
    # What a crash or the out-of-memory killer does: the run, its session's watcher, Xvfb and
    # wineserver all die at once; Wine's own processes are left without their server.
    { kill -KILL -- "-$pid"; wait "$pid"; } 2>/dev/null
    for file in watcher.pid xvfb.pid; do
        fliran_wine__read_pid "$FLIRAN_WINE_STATE/$file" && kill -KILL "$FLIRAN_WINE__PID"
    done
    while read -r p _; do
        case "$(readlink "/proc/$p/exe")" in *wineserver*) kill -KILL "$p" ;; esac
    done < <(fliran_wine_processes)
    sleep 1
    left="$(fliran_wine_processes | grep -c '\.exe')"
    [ "$left" -gt 0 ] || fail "nothing was left to end: the case tests nothing"
fi

# --- "-- /ih": the information box only, closed with Enter -----------------------------------------
start info -- --com 3 -- /ih
if window_or_fail "Kvorn Info"; then
    logged "Wine processes of $WINEPREFIX left by an earlier run" ||
        fail "the Wine processes the killed run left were not ended: $(head -n 20 "$log")"
    DISPLAY="$(cat "$FLIRAN_WINE_STATE/display")" xdotool windowfocus --sync "$window" key Return
    finish - 0
else
    finish KILL 137
fi

[ "$failures" -eq 0 ] && echo "the run command ended, refused, restored and waited as it should"
exit $((failures > 0))
