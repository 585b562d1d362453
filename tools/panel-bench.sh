#!/usr/bin/env bash
# Benchmark of the real panel under Wine, in one run, each figure beside floors measured in the
# same run. The floor to beat is the fair floor (tools/bench/fair_floor.cpp): the panel's own
# window written by hand in plain Win32, the same sixteen windows and the same picture on the
# screen, whose glow button writes "600" LF and whose sliders write their positions with
# WriteFile. The one-window floor (tools/bench/panel_floor.cpp: one button, one slider) is the
# second line, for information: it shows what the platform costs for sixteen windows and a
# picture.
#   1. click: the time from a real click on СИЯНЬЕ ГЛАЗ to the first byte of "600" LF at the port
#                                                            click/fair-floor ratio (goal <= 1.05)
#   2. slide: the time from a key press on the focused eyes slider to the first byte of its line
#                                                            slide/fair-floor ratio (goal <= 1.05)
#   3. the working set and the private bytes of the programs after start-up, from
#      GetProcessMemoryInfo called inside Wine (tools/bench/working_set_probe.cpp), and the
#      resident size (VmRSS) of their Wine processes from /proc beside it
#                                                          private/fair-floor ratio (goal <= 1.05)
#   4. the size of fliran-panel.exe without debug information (the mingw preset builds
#      RelWithDebInfo, so a stripped copy is measured) beside resources/bird.bmp (goal: the .exe
#      is at most 1 MiB larger than the picture)
#   5. tools/startup-bench.sh: process start to the form shown and painted
#                                                          startup/fair-floor ratio (goal <= 1.05)
#
#   tools/panel-bench.sh [--rounds N] [--startup-rounds N] [--no-startup]
#
# Method for 1 and 2: a native program (tools/bench/input_latency_probe.cpp, built here with the
# host g++; needs libx11-dev and libxtst-dev) owns the three pseudo-terminals that are the panel's
# COM 3, the fair floor's COM 4 and the one-window floor's COM 5, injects the input with the XTest
# extension and takes the monotonic time just before the event and at the first byte read from the
# pty. The panel's port line is picked with real input first, as tools/run-panel.sh --check does.
# The programs take turns in every round (the order rotating); medians over N rounds (default 30)
# after 3 warm-up rounds. The
# click is timed with press and release sent at once, so the time covers all the work the click
# causes; for information the release alone is timed too, with the press 100 ms before it as a
# person's click has it ("release" lines; the button writes when it is released). The
# slider keys are End and Home in turns, so that each key gives a known line wherever the slider
# was. Every timed sample is kept in
# build/panel-bench/latency-samples.txt.
#
# Nothing here is asserted: the goals are printed beside the figures. The script fails (exit 1)
# only when something could not be measured. Ctrl-C or an error ends the panel, the floor, the
# probe and the Wine session of the run (Xvfb and wineserver unless another run still uses them)
# and removes the COM links. The last lines ("== summary") hold every ratio, one per line. Runs on a private Xvfb unless the project's Wine session is already
# up (then on its display).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="panel-bench.sh"

die() {
    echo "$ME: $*" >&2
    exit 1
}

rounds=30
startup_rounds=15
run_startup=1
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) [ $# -ge 2 ] || die "--rounds needs a number"; rounds="$2"; shift 2 ;;
        --startup-rounds) [ $# -ge 2 ] || die "--startup-rounds needs a number"; startup_rounds="$2"; shift 2 ;;
        --no-startup) run_startup=0; shift ;;
        -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
        *) die "unknown argument $1 (see --help)" ;;
    esac
done
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || die "--rounds $rounds is not a positive number"
[[ "$startup_rounds" =~ ^[1-9][0-9]*$ ]] || die "--startup-rounds $startup_rounds is not a positive number"

panel_com=3
fair_com=4
floor_com=5

# --- Build --------------------------------------------------------------------------------------
out_dir="$ROOT/build/panel-bench"
mkdir -p "$out_dir" || die "cannot create $out_dir"
build_log="$out_dir/build.log"
if ! cmake --preset mingw >"$build_log" 2>&1 ||
    ! cmake --build --preset mingw --target fliran-panel fair_floor panel_floor working_set_probe -j2 >>"$build_log" 2>&1; then
    tail -n 30 "$build_log" >&2
    die "building the programs failed (all of it in ${build_log#"$ROOT"/})"
fi
probe="$out_dir/input_latency_probe"
probe_src="$ROOT/tools/bench/input_latency_probe.cpp"
if [ ! -x "$probe" ] || [ "$probe_src" -nt "$probe" ]; then
    g++ -std=c++20 -O2 -Wall -Wextra -o "$probe" "$probe_src" -lXtst -lX11 >>"$build_log" 2>&1 ||
        die "building $probe failed (needs libx11-dev and libxtst-dev; see ${build_log#"$ROOT"/})"
fi
panel_exe="$ROOT/build/mingw/fliran-panel.exe"
fair_exe="$ROOT/build/mingw/fair_floor.exe"
floor_exe="$ROOT/build/mingw/panel_floor.exe"
ws_probe="$ROOT/build/mingw/working_set_probe.exe"

# --- What the run started, and how it ends --------------------------------------------------------
# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
fliran_wine_env || die "cannot set up the Wine environment"
unset DISPLAY   # a private Xvfb: the injected input must not land on a user's desktop

acquired=0
probe_pid=""
panel_pid=""
fair_pid=""
floor_pid=""
work=""

cleanup() {
    trap '' INT HUP TERM
    exec 7>&-
    fliran_stop_pid "$panel_pid"
    panel_pid=""
    fliran_stop_pid "$fair_pid"
    fair_pid=""
    fliran_stop_pid "$floor_pid"
    floor_pid=""
    # The probe removes its COM links when it ends, also on TERM.
    fliran_stop_pid "$probe_pid"
    probe_pid=""
    exec 8>&-
    if [ "$acquired" = 1 ]; then
        fliran_wine_release "$$"
        acquired=0
    fi
    [ -n "$work" ] && rm -rf "$work"
    work=""
    # Ignored signals would be inherited by the start-up benchmark that may still follow.
    set_traps
}
set_traps() {
    trap 'echo "$ME: interrupted" >&2; exit 130' INT
    trap 'exit 129' HUP
    trap 'exit 143' TERM
}
trap cleanup EXIT
set_traps

acquired=1
fliran_wine_acquire "$$" || die "starting Wine failed (logs in ${FLIRAN_WINE_STATE#"$ROOT"/}/)"
# The COM ports are shared with this tree's serial tests, which take the same lock.
exec 8>>"$FLIRAN_WINE_STATE/com-ports.lock"
flock -w 600 8 || die "could not lock $FLIRAN_WINE_STATE/com-ports.lock"
work="$FLIRAN_WINE_STATE/panel-bench.$$"
rm -rf "$work"
mkdir -p "$work" || die "cannot create $work"

# --- The probe, the panel and the floor -----------------------------------------------------------
mkfifo "$work/commands" || die "cannot create $work/commands"
"$probe" --wine-prefix "$WINEPREFIX" --com "$panel_com" --com "$fair_com" --com "$floor_com" --ready-file "$work/ready" \
    <"$work/commands" >"$work/probe.out" 2>"$work/probe.err" 8>&- 9>&- &
probe_pid=$!
exec 7>"$work/commands"
for ((i = 0; i < 200; i++)); do
    [ -s "$work/ready" ] && break
    fliran_wine__pid_running "$probe_pid" || break
    sleep 0.05
done
[ -s "$work/ready" ] || { cat "$work/probe.err" >&2; die "the latency probe did not start"; }

echo "== starting the panel (COM $panel_com), the fair floor (COM $fair_com) and the one-window floor (COM $floor_com) under Wine on $DISPLAY"
# Side by side on the 1280 pixels of the screen: the third runs off its right edge, past every
# point the probe uses.
"${FLIRAN_WINE[@]}" "$panel_exe" </dev/null >"$work/panel.log" 2>&1 7>&- 8>&- 9>&- &
panel_pid=$!
"${FLIRAN_WINE[@]}" "$fair_exe" "$fair_com" 445 0 </dev/null >"$work/fair.log" 2>&1 7>&- 8>&- 9>&- &
fair_pid=$!
"${FLIRAN_WINE[@]}" "$floor_exe" "$floor_com" 890 0 </dev/null >"$work/floor.log" 2>&1 7>&- 8>&- 9>&- &
floor_pid=$!

# find_window PID NAME: the id of the largest shown window of PID titled NAME (a regex).
find_window() {
    local id best="" best_area=0 WIDTH HEIGHT
    for id in $(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
        if [ $((${WIDTH:-0} * ${HEIGHT:-0})) -gt "$best_area" ]; then
            best="$id" best_area=$((${WIDTH:-0} * ${HEIGHT:-0}))
        fi
    done
    [ "$best_area" -ge $((200 * 200)) ] && echo "$best"
}
panel_win="" fair_win="" floor_win=""
for ((i = 0; i < 600; i++)); do
    [ -z "$panel_win" ] && panel_win="$(find_window "$panel_pid" '^ФЛИРАН_1$')"
    [ -z "$fair_win" ] && fair_win="$(find_window "$fair_pid" '^ФЛИРАН_1$')"
    [ -z "$floor_win" ] && floor_win="$(find_window "$floor_pid" '^panel floor$')"
    [ -n "$panel_win" ] && [ -n "$fair_win" ] && [ -n "$floor_win" ] && break
    fliran_wine__pid_running "$panel_pid" || die "the panel ended before its window showed"
    fliran_wine__pid_running "$fair_pid" || { cat "$work/fair.log" >&2; die "the fair floor ended before its window showed"; }
    fliran_wine__pid_running "$floor_pid" || { cat "$work/floor.log" >&2; die "the floor program ended before its window showed"; }
    sleep 0.1
done
[ -n "$panel_win" ] && [ -n "$fair_win" ] && [ -n "$floor_win" ] ||
    die "the windows of the panel and the floors did not show within 60 s"

# --- Working set after start-up ---------------------------------------------------------------------
# Once both have drawn their windows and gone idle: the same screen twice in a row (at most ~10 s).
previous=""
for ((i = 0; i < 30; i++)); do
    current="$(import -display "$DISPLAY" -window root rgb:- 2>/dev/null | md5sum)"
    [ "$current" = "$previous" ] && break
    previous="$current"
    sleep 0.3
done
ws_out="$("${FLIRAN_WINE[@]}" "$ws_probe" fliran-panel.exe fair_floor.exe panel_floor.exe </dev/null 2>"$work/ws.err" 7>&- 8>&- 9>&-)" ||
    { cat "$work/ws.err" >&2; die "reading the working sets failed"; }
read -r _ _ _ panel_ws _ panel_private < <(awk '$2 == "fliran-panel.exe"' <<<"$ws_out")
read -r _ _ _ fair_ws _ fair_private < <(awk '$2 == "fair_floor.exe"' <<<"$ws_out")
read -r _ _ _ floor_ws _ floor_private < <(awk '$2 == "panel_floor.exe"' <<<"$ws_out")
[ -n "${panel_ws:-}" ] && [ -n "${fair_ws:-}" ] && [ -n "${floor_ws:-}" ] ||
    die "the working-set probe printed no figures: $ws_out"
vmrss() {
    awk '$1 == "VmRSS:" { print $2 * 1024 }' "/proc/$1/status" 2>/dev/null
}
panel_rss="$(vmrss "$panel_pid")"
fair_rss="$(vmrss "$fair_pid")"
floor_rss="$(vmrss "$floor_pid")"
# private_pages PID: the pages only this process has written (Private_Dirty of /proc/PID/smaps,
# which is what Wine counts as private bytes) per mapping, in KiB: "NAME KIB" lines sorted by
# name, NAME the mapped file's base name ("program" for the program's own .exe) or [anon],
# [heap] or [stack].
private_pages() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { n = $6 == "" ? "[anon]" : $6; sub(/.*\//, "", n); if (n ~ /^(fliran-panel|fair_floor|panel_floor)\.exe$/) n = "program"; next }
         /^Private_Dirty:/ { kib[n] += $2 }
         END { for (n in kib) if (kib[n] > 0) print n, kib[n] }' "/proc/$1/smaps" 2>/dev/null | sort
}
# Where the panel's private pages differ from the fair floor's: "NAME +KIB" for each mapping.
private_difference="$(join -a 1 -a 2 -e 0 -o 0,1.2,2.2 <(private_pages "$panel_pid") <(private_pages "$fair_pid") |
    awk '$2 != $3 { printf "%s %+d KiB, ", $1, $2 - $3 }' | sed 's/, $//')"

# --- Input latency --------------------------------------------------------------------------------
# The panel's port line, picked as a user would (as tools/run-panel.sh --check does): click into
# the port box, then Down once per line (the box starts with no current line).
downs=""
for ((i = 0; i <= panel_com; i++)); do downs+=" Down"; done
# shellcheck disable=SC2086
xdotool mousemove --sync --window "$panel_win" 60 230 click 1 sleep 0.2 key --delay 100 $downs sleep 0.5 ||
    die "picking the panel's port line with xdotool failed"

echo "== measuring: $rounds rounds (after 3 warm-up rounds) of two clicks and a slider key on each program"
echo "$panel_win $fair_win $floor_win $rounds" >&7
exec 7>&-
wait "$probe_pid"
probe_rc=$?
probe_pid=""
if [ "$probe_rc" != 0 ]; then
    cat "$work/probe.err" >&2
    die "measuring the input latency failed (exit code $probe_rc)"
fi
latency() {   # KIND INDEX FIELD (4 median, 5 min, 6 max)
    awk -v k="$1" -v i="$2" -v f="$3" '$1 == "latency" && $2 == k && $3 == i { print $f }' "$work/probe.out"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
declare -A fair_ratio floor_ratio
for kind in click release slide; do
    pm="$(latency "$kind" 0 4)" am="$(latency "$kind" 1 4)" fm="$(latency "$kind" 2 4)"
    [ -n "$pm" ] && [ -n "$am" ] && [ -n "$fm" ] || die "the probe printed no $kind figures"
    printf '%s: medians (min, max) in ms: panel %.2f (%.2f, %.2f), fair floor %.2f (%.2f, %.2f), one-window floor %.2f (%.2f, %.2f)\n' \
        "$kind" "$pm" "$(latency "$kind" 0 5)" "$(latency "$kind" 0 6)" "$am" "$(latency "$kind" 1 5)" \
        "$(latency "$kind" 1 6)" "$fm" "$(latency "$kind" 2 5)" "$(latency "$kind" 2 6)"
    fair_ratio[$kind]="$(ratio "$pm" "$am")"
    floor_ratio[$kind]="$(ratio "$pm" "$fm")"
done

cp "$work/probe.out" "$out_dir/latency-samples.txt"

# --- Closing both programs ------------------------------------------------------------------------
# The probe has asked both windows to close, as a window manager's close button does (Alt+F4 sent
# with xdotool after the measuring rounds was lost now and then).
# wait_end PID: sets ended_rc to the exit code, or to "still running" after 10 s.
wait_end() {
    local i
    for ((i = 0; i < 100; i++)); do
        fliran_wine__pid_running "$1" || break
        sleep 0.1
    done
    ended_rc="still running"
    fliran_wine__pid_running "$1" && return 0
    wait "$1"
    ended_rc=$?
}
wait_end "$panel_pid"
panel_rc="$ended_rc"
[ "$panel_rc" = "still running" ] || panel_pid=""
wait_end "$fair_pid"
fair_rc="$ended_rc"
[ "$fair_rc" = "still running" ] || fair_pid=""
wait_end "$floor_pid"
floor_rc="$ended_rc"
[ "$floor_rc" = "still running" ] || floor_pid=""
[ "$panel_rc" = 0 ] || echo "$ME: note: the panel did not end with exit code 0 when closed ($panel_rc)" >&2
[ "$fair_rc" = 0 ] || echo "$ME: note: the fair floor did not end with exit code 0 when closed ($fair_rc)" >&2
[ "$floor_rc" = 0 ] || echo "$ME: note: the floor program did not end with exit code 0 when closed ($floor_rc)" >&2
cleanup

# --- Sizes ------------------------------------------------------------------------------------------
stripped="$out_dir/fliran-panel.stripped.exe"
x86_64-w64-mingw32-strip --strip-debug -o "$stripped" "$panel_exe" || die "stripping a copy of $panel_exe failed"
exe_size="$(stat -c %s "$panel_exe")"
stripped_size="$(stat -c %s "$stripped")"
bmp_size="$(stat -c %s "$ROOT/resources/bird.bmp")"

# --- Start-up -------------------------------------------------------------------------------------
startup_out=""
if [ "$run_startup" = 1 ]; then
    echo "== tools/startup-bench.sh $startup_rounds"
    # Without the DISPLAY of the private Xvfb, which ended with the session above.
    startup_out="$(env -u DISPLAY "$ROOT/tools/startup-bench.sh" "$startup_rounds")" ||
        die "tools/startup-bench.sh failed"
    echo "$startup_out"
fi

# --- Summary --------------------------------------------------------------------------------------
mib() { awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'; }
kib() { awk -v b="$1" 'BEGIN { printf "%d KiB", b / 1024 }'; }
echo "working set after start-up (GetProcessMemoryInfo inside Wine): panel $(mib "$panel_ws"), fair floor $(mib "$fair_ws"), one-window floor $(mib "$floor_ws"); private bytes: panel $(mib "$panel_private"), fair floor $(mib "$fair_private"), one-window floor $(mib "$floor_private")"
echo "private bytes: panel $(kib "$panel_private"), fair floor $(kib "$fair_private"); the panel's private pages over the fair floor's by mapping (Private_Dirty in /proc/PID/smaps): ${private_difference:-none}"
[ -n "$panel_rss" ] && [ -n "$fair_rss" ] && [ -n "$floor_rss" ] &&
    echo "resident size of the Wine processes (VmRSS in /proc): panel $(mib "$panel_rss"), fair floor $(mib "$fair_rss"), one-window floor $(mib "$floor_rss")"
echo "== summary ($rounds rounds; goals in brackets; the /floor lines are against the one-window floor, for information)"
echo "click/fair-floor ratio: ${fair_ratio[click]}   [at most 1.05]"
echo "slide/fair-floor ratio: ${fair_ratio[slide]}   [at most 1.05]"
echo "private/fair-floor ratio: $(ratio "$panel_private" "$fair_private")   [at most 1.05]"
if [ -n "$startup_out" ]; then
    grep -E '^startup/fair-floor' <<<"$startup_out" | sed 's/$/   [at most 1.05]/'
fi
echo "release/fair-floor ratio: ${fair_ratio[release]}   (the click's release alone, its press 100 ms before; for information)"
echo "working-set/fair-floor ratio: $(ratio "$panel_ws" "$fair_ws")   (for information)"
echo "click/floor ratio: ${floor_ratio[click]}"
echo "slide/floor ratio: ${floor_ratio[slide]}"
echo "private/floor ratio: $(ratio "$panel_private" "$floor_private")"
if [ -n "$startup_out" ]; then
    grep -E '^startup/floor ratio' <<<"$startup_out"
fi
echo "exe: $(mib "$stripped_size") without debug information ($(mib "$exe_size") as built), bird.bmp $(mib "$bmp_size"): the exe adds $(awk -v e="$stripped_size" -v b="$bmp_size" 'BEGIN { printf "%.2f MiB", (e - b) / 1048576 }') to the picture   [at most 1 MiB]"
