#!/usr/bin/env bash
# Write benchmark of the serial port element: how long the panel's write of one
# slider line takes to reach the board, against the least any program can do.
#
#   tools/serial-bench.sh
#
# Two Windows programs run under Wine, in turns, each against a fresh board
# simulator (tools/board_sim) on COM9 of the project's Wine prefix:
#   serial_element_bench  opens the port through TKvornCOM (panel settings) and
#                         calls inWrite with the text "95\n" M times
#   serial_floor_bench    opens and sets up the port the same way with plain
#                         Win32 calls and only calls WriteFile("95\n") M times
#
# Method. The simulator stamps every chunk it reads with CLOCK_MONOTONIC. Both
# programs write back to back, so once the line is busy, bytes arrive at the
# simulator at the pace at which the program can hand writes to the driver. The
# time per write over a stretch of the run is
#     (arrival of its last bytes - arrival of its first chunk)
#     / (writes that arrived after that first chunk)
# which spans the whole path from the write call to the simulator, counts only
# writes that really arrived, and uses one clock for both programs, without the
# start-up of Wine or the opening of the port. Other processes on the machine
# (compilers, other tests) stretch random parts of a run by a factor of two or
# more; the cost of a write without such interference is what is compared. So
# each run is represented by its fastest stretch of 250 writes (one that begins
# while the simulator keeps up, so that no backlog read in one go counts as
# fast), and each program by its best run (the usual best-of-N for timings on
# a shared machine):
#     write/floor ratio: element's best / floor's best          goal: <= 1.2
# Both programs run in every round, back to back and in alternating order, after
# one warm-up run of each, so that drifting load meets both alike. Every run
# must deliver exactly 3 x M bytes, all "95\n"; a run that does not fails the
# benchmark. For information the script also prints the medians over the runs,
# of the fastest stretches, of whole runs and of the loops as the programs time
# them themselves (QueryPerformanceCounter); these swing with the load.
#
# Environment:
#   FLIRAN_BENCH_WRITES   writes per run (M, default 2000)
#   FLIRAN_BENCH_ROUNDS   measured rounds, each one run of both programs (default 15)
#   FLIRAN_BUILD_DIR      MinGW build tree (default build/mingw, configured with
#                         the mingw preset when it does not exist yet)
#   FLIRAN_WINEPREFIX     Wine prefix, as for tools/wine-run.sh
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
writes="${FLIRAN_BENCH_WRITES:-2000}"
rounds="${FLIRAN_BENCH_ROUNDS:-15}"
build="${FLIRAN_BUILD_DIR:-$repo/build/mingw}"
port=9
window=250

die() {
    echo "serial-bench: $*" >&2
    exit 1
}

# --- Build --------------------------------------------------------------------------------------
if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ "$build" = "$repo/build/mingw" ]; then
        (cd "$repo" && cmake --preset mingw) >&2 || die "configuring the mingw preset failed"
    else
        cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2 || die "configuring $build failed"
    fi
fi
cmake --build "$build" -j2 --target serial_element_bench serial_floor_bench serial_board_sim >&2 ||
    die "building the benchmark programs failed"
board_sim="$build/board_sim/board_sim"
element_exe="$build/serial_element_bench.exe"
floor_exe="$build/serial_floor_bench.exe"
for f in "$board_sim" "$element_exe" "$floor_exe"; do
    [ -x "$f" ] || [ -f "$f" ] || die "missing $f"
done

# --- Wine session, COM port lock (shared with tests/serial/with-boards.sh) -----------------------
# shellcheck source=tools/wine-prefix.sh
source "$repo/tools/wine-prefix.sh"
# shellcheck source=tools/board_sim/board.sh
source "$repo/tools/board_sim/board.sh"
fliran_wine_env || exit 1
fliran_wine_acquire "$$" || exit 1

work=""
board=""
cleanup() {
    if [ -n "$board" ]; then
        kill -TERM "$board" 2>/dev/null
        wait "$board" 2>/dev/null
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
flock -w 600 8 || die "could not lock $FLIRAN_WINE_STATE/com-ports.lock"
work="$FLIRAN_WINE_STATE/bench.$$"
rm -rf "$work"
mkdir -p "$work" || exit 1

# run_once KIND EXE: one run against a fresh board. Sets RESULT to
# "<us per write, fastest stretch> <us per write, whole run> <loop us>"; exits
# the script (stopping the board) when the run fails.
run_once() {
    local kind="$1" exe="$2" log="$work/board$port.log" i out calls stats
    fliran_board_start "$board_sim" "$work" "$port"
    board=$FLIRAN_BOARD_PID
    fliran_board_wait_ready "$work" "$port" "$board" || die "no board on COM$port"

    if ! out="$("${FLIRAN_WINE[@]}" "$exe" "$port" "$writes" </dev/null 2>"$work/program.err" 8>&- 9>&-)"; then
        cat "$work/program.err" >&2
        die "$kind run failed"
    fi
    calls="$(sed -n 's/^calls_us //p' <<<"$out")"
    [ -n "$calls" ] || die "$kind run printed no timing"

    # Everything written must have arrived before the board is stopped.
    for ((i = 0; i < 400; i++)); do
        stats="$(awk -v want=$((3 * writes)) -v window="$window" '
            $2 == "rx" {
                n = length($3) / 2
                k++; t[k] = $1; size[k] = n; total += n; cum[k] = total / 3; data = data $3
            }
            END {
                if (total < want) { print "short"; exit }
                expect = ""; for (i = 0; i < want / 3; i++) expect = expect "39350a"
                if (total != want || data != expect) { print "wrong " total; exit }
                if (cum[k] - cum[1] < window) { print "coalesced"; exit }
                # Whole run: from the first chunk to the last.
                whole = (t[k] - t[1]) / (cum[k] - cum[1])
                # Fastest stretch of at least `window` writes. A stretch may
                # only start where the simulator was keeping up (the next chunk
                # holds one write): after a pause of the simulator, the backlog
                # it reads in one go was written before the stretch began.
                best = -1; j = 1
                for (i = 1; i < k; i++) {
                    while (j <= k && cum[j] - cum[i] < window) j++
                    if (j > k) break
                    if (size[i + 1] != 3) continue
                    v = (t[j] - t[i]) / (cum[j] - cum[i])
                    if (best < 0 || v < best) best = v
                }
                if (best < 0) { print "coalesced"; exit }
                printf "%.3f %.3f\n", best, whole
            }' "$log")"
        [ "$stats" != short ] && break
        sleep 0.025
    done
    kill -TERM "$board" 2>/dev/null
    wait "$board" 2>/dev/null
    board=""
    case "$stats" in
        short) die "$kind run: the board received fewer than $((3 * writes)) bytes" ;;
        wrong*) die "$kind run: the board received other bytes than ${writes} x \"95\\n\" (${stats#wrong } bytes)" ;;
        coalesced) die "$kind run: the simulator never kept up with the writes; raise FLIRAN_BENCH_WRITES" ;;
    esac
    RESULT="$stats $calls"
}

median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "serial write benchmark: $writes writes of \"95\\n\" per run, $rounds rounds, COM$port"
run_once floor "$floor_exe"
run_once element "$element_exe"

# ratio A B: A / B with two decimals more than shown.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'
}
med() {
    printf '%s\n' "$@" | median
}

floor_best=() element_best=() floor_whole=() element_whole=() floor_loop=() element_loop=()
for ((r = 1; r <= rounds; r++)); do
    # Both programs run in every round, back to back and in alternating order,
    # so that drifting load on the machine meets both alike.
    for kind in $( ((r % 2)) && echo "floor element" || echo "element floor"); do
        if [ "$kind" = floor ]; then exe="$floor_exe"; else exe="$element_exe"; fi
        run_once "$kind" "$exe"
        read -r best whole calls <<<"$RESULT"
        loop="$(awk -v c="$calls" -v m="$writes" 'BEGIN { printf "%.3f", c / m }')"
        if [ "$kind" = floor ]; then
            floor_best+=("$best") floor_whole+=("$whole") floor_loop+=("$loop")
        else
            element_best+=("$best") element_whole+=("$whole") element_loop+=("$loop")
        fi
    done
    printf '  round %2d: floor %7.2f us/write (whole run %7.2f)   element %7.2f us/write (whole run %7.2f)\n' \
        "$r" "${floor_best[-1]}" "${floor_whole[-1]}" "${element_best[-1]}" "${element_whole[-1]}"
done

fb="$(med "${floor_best[@]}")" eb="$(med "${element_best[@]}")"
fmin="$(printf '%s\n' "${floor_best[@]}" | sort -g | head -n 1)"
emin="$(printf '%s\n' "${element_best[@]}" | sort -g | head -n 1)"
fw="$(med "${floor_whole[@]}")" ew="$(med "${element_whole[@]}")"
fl="$(med "${floor_loop[@]}")" el="$(med "${element_loop[@]}")"
printf 'median of whole runs, call to arrival: floor %.2f us, element %.2f us, ratio %.2f\n' \
    "$fw" "$ew" "$(ratio "$ew" "$fw")"
printf 'median of the loops timed in the programs: floor %.2f us, element %.2f us, ratio %.2f\n' \
    "$fl" "$el" "$(ratio "$el" "$fl")"
printf 'median of the fastest %d writes: floor %.2f us, element %.2f us, ratio %.2f\n' \
    "$window" "$fb" "$eb" "$(ratio "$eb" "$fb")"
printf 'best run, fastest %d writes, call to arrival: floor %.2f us, element %.2f us\n' \
    "$window" "$fmin" "$emin"
printf 'write/floor ratio: %.2f\n' "$(ratio "$emin" "$fmin")"
