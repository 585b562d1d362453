# shellcheck shell=bash
# Starting virtual boards from the project's scripts (tests/serial/with-boards.sh,
# tools/serial-bench.sh). Source this file from bash; it only defines functions.
#
#   fliran_board_start SIM DIR N [OPTIONS...]
#       starts the board_sim program SIM in the background on COM N of
#       $WINEPREFIX with the extra OPTIONS; its files go to DIR: boardN.log (the
#       byte log), boardN.ready (present while the port is in place),
#       boardN.out and boardN.err (its stdout and stderr). Leaves the pid in
#       FLIRAN_BOARD_PID. File descriptors 8 and 9 (the callers' locks) are not
#       passed on.
#   fliran_board_wait_ready DIR N [PID]
#       waits up to 5 s for DIR/boardN.ready (less if the board's process PID
#       ends before); on failure prints the board's stderr and returns 1.
#
# Not "comN.log": a Windows file name whose base is COM1..COM9 names the serial
# device, and the tests read these files from the Windows side.

fliran_board_start() {
    local sim="$1" dir="$2" n="$3"
    shift 3
    rm -f "$dir/board$n".*
    "$sim" --wine-prefix "$WINEPREFIX" --com "$n" \
        --log "$dir/board$n.log" --ready-file "$dir/board$n.ready" "$@" \
        </dev/null >"$dir/board$n.out" 2>"$dir/board$n.err" 8>&- 9>&- &
    FLIRAN_BOARD_PID=$!
}

fliran_board_wait_ready() {
    local dir="$1" n="$2" pid="${3:-}" i
    for ((i = 0; i < 200; i++)); do
        [ -f "$dir/board$n.ready" ] && return 0
        [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null && break
        sleep 0.025
    done
    echo "the board on COM$n did not come up" >&2
    [ -s "$dir/board$n.err" ] && sed 's/^/  /' "$dir/board$n.err" >&2
    return 1
}
