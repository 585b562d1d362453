#!/usr/bin/env bash
# Runs a Windows test program under Wine with virtual bird boards on its COM ports.
#
#   tests/serial/with-boards.sh [--board-sim PATH] [--env NAME=VALUE]... PROGRAM.exe [ARGS...]
#
# CTest uses this as the emulator of the serial tests, so every test case gets
# fresh boards: a clean byte log, nothing pending, a board that has not dropped
# its line yet. For each board the script starts tools/board_sim on a
# pseudo-terminal linked as dosdevices/comN of the project's Wine prefix (the
# one tools/wine-run.sh uses), waits until all of them are in place, runs the
# program with FLIRAN_SERIAL_BOARDS naming the folder of their logs and ready
# files, and stops the boards again, whatever way the program ends.
#
#   COM3, COM12  plain boards (603 answered "played N frames" CR LF)
#   COM4         stops reading after the line "stop", until the file
#                board4.resume appears in the boards' folder
#   COM5         answers 603 with "ok" LF (3 bytes)
#   COM6         answers 603 with "o" NUL NUL "k" CR LF
#   COM7         answers 603 as a plain board, then floods 300 bytes
#   COM8         drops the line after 8 received bytes, back after 1000 ms
#   COM9         never answers 603
#
# COM200 must not exist in the prefix: the tests use it as a port that cannot be
# opened.
#
# Runs that list the tests (--gtest_list_tests) go straight to Wine. Runs that
# need boards take an exclusive lock (the file com-ports.lock in the prefix's
# state folder), so parallel test cases never share a COM port.
#
# board_sim: --board-sim PATH, else $FLIRAN_BOARD_SIM, else it is built from
# tools/board_sim into build/board_sim of the repository.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

board_sim="${FLIRAN_BOARD_SIM:-}"
if [ "${1:-}" = "--board-sim" ]; then
    board_sim="$2"
    shift 2
fi
# --env NAME=VALUE: a variable for the program only, as with tools/wine-run.sh.
env_options=()
while [ "${1:-}" = --env ] && [ $# -ge 2 ]; do
    env_options+=("$1" "$2")
    shift 2
done
if [ $# -eq 0 ]; then
    echo "usage: $0 [--board-sim PATH] [--env NAME=VALUE]... PROGRAM.exe [ARGS...]" >&2
    exit 2
fi

for arg in "$@"; do
    case "$arg" in
        --gtest_list_tests*) exec "$repo/tools/wine-run.sh" "${env_options[@]}" "$@" ;;
    esac
done

# @work@ stands for the folder of the boards' files.
BOARDS=(
    "3"
    "4 --stop-reading-on stop --resume-file @work@/board4.resume"
    "5 --reply-603 ok\\n"
    "6 --reply-603-hex 6f00006b0d0a"
    "7 --flood 300 --flood-on 603"
    "8 --drop-after 8 --reappear-after-ms 1000"
    "9 --silent-603"
    "12"
)

# shellcheck source=tools/wine-prefix.sh
source "$repo/tools/wine-prefix.sh"
# shellcheck source=tools/board_sim/board.sh
source "$repo/tools/board_sim/board.sh"
fliran_wine_env || exit 1
for ((i = 1; i < ${#env_options[@]}; i += 2)); do
    FLIRAN_WINE_PROGRAM_ENV+=("${env_options[$i]}")
done
fliran_wine_program_command

if [ -z "$board_sim" ]; then
    board_sim="$repo/build/board_sim/board_sim"
    # Built under the lock below would serialize it anyway; a separate lock
    # keeps two first runs from building it twice at the same time.
    (
        exec 8>>"$FLIRAN_WINE_STATE/board_sim-build.lock"
        flock -w 600 8 || exit 1
        if [ ! -x "$board_sim" ]; then
            echo "with-boards: building board_sim into build/board_sim" >&2
            { cmake -S "$repo/tools/board_sim" -B "$repo/build/board_sim" \
                  -DCMAKE_BUILD_TYPE=Release -DBOARD_SIM_TESTS=OFF &&
              cmake --build "$repo/build/board_sim" -j2; } >&2 8>&- || exit 1
        fi
    ) || { echo "with-boards: could not build board_sim" >&2; exit 1; }
fi
if [ ! -x "$board_sim" ]; then
    echo "with-boards: board_sim not found at $board_sim" >&2
    exit 1
fi

# Joins (or starts) the shared Wine instance: creates the prefix on first use,
# so dosdevices exists before the boards link into it.
fliran_wine_acquire "$$" || exit 1

# start_boards: fresh boards, each with empty files; fails if one does not come up.
start_boards() {
    local board words i
    rm -f "$work"/board*
    for board in "${BOARDS[@]}"; do
        read -r -a words <<<"${board//@work@/$work}"
        fliran_board_start "$board_sim" "$work" "${words[@]}"
        pids+=("$FLIRAN_BOARD_PID")
    done
    for i in "${!BOARDS[@]}"; do
        fliran_board_wait_ready "$work" "${BOARDS[$i]%% *}" "${pids[$i]}" || return 1
    done
}

stop_boards() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    pids=()
}

work=""
program=""
pids=()
status=1

cleanup() {
    if [ -n "$program" ]; then
        kill -TERM "$program" 2>/dev/null
        wait "$program" 2>/dev/null
    fi
    stop_boards
    if [ "$status" -ne 0 ] && [ -n "$work" ] && [ -d "$work" ]; then
        echo "with-boards: exit status $status; board output of the run:" >&2
        for f in "$work"/*.err "$work"/*.log; do
            [ -s "$f" ] && tail -n 20 "$f" | sed "s|^|  ${f##*/}: |" >&2
        done
    fi
    [ -n "$work" ] && rm -rf "$work"
    exec 8>&-
    fliran_wine_release "$$"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

exec 8>>"$FLIRAN_WINE_STATE/com-ports.lock"
if ! flock -w 600 8; then
    echo "with-boards: could not lock $FLIRAN_WINE_STATE/com-ports.lock" >&2
    exit 1
fi

if [ -e "$WINEPREFIX/dosdevices/com200" ] || [ -L "$WINEPREFIX/dosdevices/com200" ]; then
    echo "with-boards: $WINEPREFIX/dosdevices/com200 exists; the tests need COM200 to be absent" >&2
    exit 1
fi

# The boards' files live in the prefix's state folder, one folder per run named
# after this script's pid. A run killed outright (ctest's timeout) cannot clean
# up after itself, so folders of runs that are gone are removed here.
mkdir -p "$FLIRAN_WINE_STATE/boards" || exit 1
for old in "$FLIRAN_WINE_STATE"/boards/*; do
    [ -d "$old" ] || continue
    kill -0 "${old##*/}" 2>/dev/null || rm -rf "$old"
done
work="$FLIRAN_WINE_STATE/boards/$$"
rm -rf "$work"
mkdir "$work" || exit 1

# run_program ARGS: runs the program, its output going to ours and to
# program.out; sets status. In the background, so that a TERM/INT to this
# script is handled at once (bash runs traps only between commands) and the
# program is stopped with it.
run_program() {
    local tee_pid err_pid
    exec 7> >(exec 8>&- 9>&-; tee "$work/program.out")
    tee_pid=$!
    exec 6> >(exec 7>&- 8>&- 9>&-; tee "$work/program.err" >&2)
    err_pid=$!
    FLIRAN_SERIAL_BOARDS="$work" "${FLIRAN_WINE_PROGRAM[@]}" "$@" >&7 2>&6 6>&- 7>&- 8>&- 9>&- &
    program=$!
    wait "$program"
    status=$?
    program=""
    exec 7>&- 6>&-
    wait "$tee_pid" "$err_pid" 2>/dev/null
}

start_boards || exit 1
run_program "$@"
# A program that ends with an error before printing a single line never ran a
# test: Wine failed to start it. Seen rarely on a loaded machine; the run is
# repeated once, with fresh boards, instead of failing a test that did not run.
if [ "$status" -ne 0 ] && [ ! -s "$work/program.out" ]; then
    echo "with-boards: the program ended with status $status before printing anything;" \
        "starting it once more" >&2
    stop_boards
    start_boards || exit 1
    run_program "$@"
elif fliran_wine_teardown_aborted "$status" "$work/program.err"; then
    # Wine's process teardown aborted after the program had done its work: run it once more,
    # with fresh boards, and record the rerun for the summary.
    first="$status"
    echo "with-boards: Wine's process teardown aborted (exit code $status); running ${1##*/} once more" >&2
    stop_boards
    start_boards || exit 1
    run_program "$@"
    fliran_wine_record_rerun "$first" "$status" "$@"
fi
exit "$status"
