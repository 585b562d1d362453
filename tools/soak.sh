#!/usr/bin/env bash
# A soak of the real panel: the built fliran-panel.exe under Wine with the virtual bird board on
# its port, used with real input (XTest) for a long run while its memory, handles and objects are
# sampled, every line the board receives checked against what the actions must write.
#
#   tools/soak.sh [--actions N] [--seed N]
#
# The default, 26800 actions, is 20000 slider moves (drags and keys), 2000 presses of each of
# СИЯНЬЕ ГЛАЗ, ЗАПОМНИТЬ кадр and ЗАБЫТЬ ПОЗУ, 300 of ПОВТОРИТЬ ВСЁ and 500 port picks (the port
# box's keys, to the board's line, to "ПОРТ НЕ ОПРЕДЕЛЁН" and to lines without a device); --actions
# N scales the mix (tools/test.sh runs --actions 500). The driver (tools/bench/soak_driver.cpp,
# built here with the host g++ against libx11-dev and libxtst-dev, which it installs with the
# other packages when they are missing) knows what each action must
# write: a button its line 600..603, a slider key the position it tracks, a drag lines in the
# slider's range that never go back against the drag; nothing while the port is closed. It checks
# the board's bytes line by line (nothing lost, nothing extra) and the board's port being opened
# and closed once per pick of its line. working_set_probe.exe --resources samples the panel's
# working set, private bytes, handles, USER and GDI objects and windows before the first action,
# every 1% of the run (at least every 25, at most every 250 actions) and at the end.
#
# Passes when every line is accounted for, the port opened and closed as picked, the handle, GDI
# object and window counts stay flat (the end's level, the least of the last tenth of the samples
# and at least of the last three, is at most 2 above the baseline, the first sample at or after
# action 1000 or after a fifth of a shorter run: a paint holds objects and memory for a moment,
# a leak raises every sample after it), the working set grows by less than 2 MiB from the baseline
# to the end's level (judged only in runs of 5000 actions or more: a short run's working set is
# mostly start-up noise), the panel ends with exit code 0 when its
# window is closed and nothing of the run is left running. The summary ends with one line,
# "soak passed: ..." or "soak FAILED: ..."; every sample is kept in build/soak/samples.txt.
#
# The run has a Wine session of its own: the prefix build/soak-prefix (or $FLIRAN_WINEPREFIX),
# created on first use, on a private Xvfb, so the injected input reaches no other program; a
# session of that prefix already in use by another run is refused. The board takes port 1; the
# links that the prefix has for ports 1-9 are set aside for the run (the lines of ports 2-9 are the
# ones without a device) and put back at the end. Ctrl-C or an error ends the driver, the panel, the board and
# the Wine session of the run.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="soak.sh"

die() {
    echo "$ME: $*" >&2
    echo "soak FAILED: $*"
    exit 1
}

args=("$@")   # for the run as the invoking user after sudo
actions=26800
seed=16
while [ $# -gt 0 ]; do
    case "$1" in
        --actions) [ $# -ge 2 ] || die "--actions needs a number"; actions="$2"; shift 2 ;;
        --seed) [ $# -ge 2 ] || die "--seed needs a number"; seed="$2"; shift 2 ;;
        -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
        *) die "unknown argument $1 (see --help)" ;;
    esac
done
[[ "$actions" =~ ^[1-9][0-9]*$ ]] || die "--actions $actions is not a positive number"
[[ "$seed" =~ ^[0-9]+$ ]] || die "--seed $seed is not a number"

board_com=1
free_coms=(2 3 4 5 6 7 8 9)
sample_every=$((actions / 100))
((sample_every < 25)) && sample_every=25
((sample_every > 250)) && sample_every=250
if ((actions >= 5000)); then
    baseline=1000 judge=(--judge-working-set)
else
    baseline=$((actions / 5)) judge=()
fi

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages ||
    die "installing the packages failed; run it once with sudo (sudo tools/soak.sh), then as yourself"
fliran_as_invoking_user "$ROOT" "$ROOT/tools/soak.sh" "${args[@]}"

# --- Build --------------------------------------------------------------------------------------
out_dir="$ROOT/build/soak"
mkdir -p "$out_dir" || die "cannot create $out_dir"
build_log="$out_dir/build.log"
echo "== building the panel, the probe, the board and the driver (log: ${build_log#"$ROOT"/})"
if ! cmake --preset mingw >"$build_log" 2>&1 ||
    ! cmake --build --preset mingw --target fliran-panel working_set_probe serial_board_sim -j2 >>"$build_log" 2>&1; then
    tail -n 30 "$build_log" >&2
    die "building the programs failed (all of it in ${build_log#"$ROOT"/})"
fi
driver="$out_dir/soak_driver"
driver_src="$ROOT/tools/bench/soak_driver.cpp"
if [ ! -x "$driver" ] || [ "$driver_src" -nt "$driver" ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -o "$driver" "$driver_src" -lXtst -lX11 >>"$build_log" 2>&1 ||
        die "building $driver failed (needs libx11-dev and libxtst-dev; see ${build_log#"$ROOT"/})"
fi
panel_exe="$ROOT/build/mingw/fliran-panel.exe"
ws_probe="$ROOT/build/mingw/working_set_probe.exe"
board_sim="$ROOT/build/mingw/board_sim/board_sim"

# --- The run's Wine session, and how it all ends ----------------------------------------------------
[ -n "${FLIRAN_WINEPREFIX:-}" ] || export FLIRAN_WINEPREFIX="$ROOT/build/soak-prefix"
# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
# shellcheck source=tools/panel-window.sh
source "$ROOT/tools/panel-window.sh"
fliran_wine_env || die "cannot set up the Wine environment"
unset DISPLAY   # a private Xvfb: the injected input must not land on a user's desktop
fliran_wine_reap >/dev/null 2>&1
[ -f "$FLIRAN_WINE_STATE/display" ] &&
    die "the Wine session of $WINEPREFIX is in use by another run; the soak's input would reach its windows" \
        "(wait for it to end, or give the soak another prefix in FLIRAN_WINEPREFIX)"

acquired=0
driver_pid=""
panel_pid=""
board_pid=""
declare -A set_aside=()   # port -> the link the prefix had for it

cleanup() {
    trap '' INT HUP TERM
    fliran_stop_pid "$driver_pid"
    driver_pid=""
    fliran_stop_pid "$panel_pid"
    panel_pid=""
    # The board removes its port link when it ends.
    fliran_stop_pid "$board_pid"
    board_pid=""
    local n
    for n in "${!set_aside[@]}"; do
        [ -n "$(fliran_wine_com_target "$n")" ] || fliran_wine_map_com "$n" "${set_aside[$n]}"
    done
    set_aside=()
    if [ "$acquired" = 1 ]; then
        fliran_wine_release "$$"
        acquired=0
    fi
}
trap cleanup EXIT
trap 'echo "$ME: interrupted" >&2; exit 130' INT
trap 'exit 129' HUP
trap 'exit 143' TERM

acquired=1
echo "== starting the Wine session of ${WINEPREFIX#"$ROOT"/} (the first run creates the prefix)"
fliran_wine_acquire "$$" || die "starting Wine failed (logs in ${FLIRAN_WINE_STATE#"$ROOT"/}/)"
xvfb_pid=""
fliran_wine__read_pid "$FLIRAN_WINE_STATE/xvfb.pid" && xvfb_pid="$FLIRAN_WINE__PID"

# Ports 2-9 without a device: links Wine made for the machine's serial ports are set aside, and
# so is port 1's, which the board takes.
for n in "$board_com" "${free_coms[@]}"; do
    target="$(fliran_wine_com_target "$n")"
    if [ -n "$target" ]; then
        set_aside[$n]="$target"
        fliran_wine_unmap_com "$n"
    fi
done

board_log="$out_dir/board.log"
ready="$out_dir/board.ready"
rm -f "$ready"
"$board_sim" --wine-prefix "$WINEPREFIX" --com "$board_com" --ready-file "$ready" --log "$board_log" \
    </dev/null >"$out_dir/board.out" 2>&1 9>&- &
board_pid=$!
for ((i = 0; i < 200; i++)); do
    [ -s "$ready" ] && break
    fliran_wine__pid_running "$board_pid" || break
    sleep 0.05
done
[ -s "$ready" ] || { cat "$out_dir/board.out" >&2; die "the virtual board did not start"; }

echo "== starting the panel on $DISPLAY (the board on port $board_com)"
"${FLIRAN_WINE[@]}" "$panel_exe" </dev/null >"$out_dir/panel.log" 2>&1 9>&- &
panel_pid=$!
# The panel's window: the largest shown window of its process titled ФЛИРАН_1 (its client area),
# once it has drawn and gone idle.
fliran_wait_window "$panel_pid" '^ФЛИРАН_1$' $((200 * 200)) 60 ||
    die "the panel's window did not show within 60 s (or the panel ended first)"
window="$FLIRAN_WINDOW"
fliran_settle_screen

# --- The run --------------------------------------------------------------------------------------
echo "== $actions actions (seed $seed), a sample every $sample_every; the baseline is the first sample from action $baseline"
start=$SECONDS
"$driver" --window "$window" --board-log "$board_log" --board-line "$board_com" --free-lines "${free_coms[*]}" \
    --actions "$actions" --seed "$seed" --sample-every "$sample_every" --baseline "$baseline" "${judge[@]}" \
    --panel-pid "$panel_pid" --samples "$out_dir/samples.txt" \
    -- "${FLIRAN_WINE[@]}" "$ws_probe" --resources fliran-panel.exe \
    </dev/null >"$out_dir/driver.out" 9>&- &
driver_pid=$!
wait "$driver_pid"
driver_rc=$?
driver_pid=""
took=$((SECONDS - start))
failures=()
if [ "$driver_rc" -ge 2 ] || ! grep -q '^result: ' "$out_dir/driver.out"; then
    cat "$out_dir/driver.out" >&2
    die "the driver could not make the run (exit code $driver_rc)"
fi
[ "$driver_rc" = 0 ] || failures+=("a check of the run failed (above)")

# The driver closed the panel's window at the end, as a window manager's close button does.
for ((i = 0; i < 300; i++)); do
    fliran_wine__pid_running "$panel_pid" || break
    sleep 0.1
done
if fliran_wine__pid_running "$panel_pid"; then
    failures+=("the panel did not end within 30 s of closing its window")
else
    wait "$panel_pid"
    panel_rc=$?
    panel_pid=""
    [ "$panel_rc" = 0 ] || failures+=("the panel ended with exit code $panel_rc")
fi

# Nothing of the run may be left once its session is over.
cleanup
for ((i = 0; i < 100; i++)); do
    left="$(fliran_wine_processes)"
    [ -z "$left" ] && ! fliran_wine__pid_running "$xvfb_pid" && break
    sleep 0.1
done
if [ -n "$left" ] || fliran_wine__pid_running "$xvfb_pid"; then
    echo "$left" >&2
    failures+=("processes of the run are left")
fi

# --- Summary --------------------------------------------------------------------------------------
echo "== summary ($took s; samples in ${out_dir#"$ROOT"/}/samples.txt, the board's log in ${board_log#"$ROOT"/})"
grep -v '^result: ' "$out_dir/driver.out"
result="$(sed -n 's/^result: //p' "$out_dir/driver.out")"
if [ ${#failures[@]} -eq 0 ]; then
    echo "soak passed: $result, in $took s"
else
    printf 'soak FAILED: %s\n' "$(IFS=';'; echo "${failures[*]}")"
    exit 1
fi
