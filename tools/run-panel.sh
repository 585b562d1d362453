#!/usr/bin/env bash
# Runs the panel under Wine, building what is needed first.
#
#   tools/run-panel.sh                        the virtual bird board answers on port 1
#   tools/run-panel.sh --device /dev/ttyUSB0  a real board on that device
#   tools/run-panel.sh --com N ...            use port N (1-9) instead
#   tools/run-panel.sh --check                start, look, close and clean up, then report
#
# The script says which line to pick in the panel's port box: "COM 1" ... "COM 9" open
# ports 1 ... 9 (the line for port 8 reads "CJM 8"). Without a real board the virtual board
# prints what the bird does (eyes, neck, mouth, glow, frames) in this terminal. A real device is
# put into raw mode without XON/XOFF first and linked as the first port Wine does not use itself.
# Without DISPLAY the panel runs on a private virtual screen; a screenshot of it is saved to
# build/run-panel.png once its window has painted.
# Closing the panel, Ctrl-C or closing the terminal ends the panel, the board and the Wine
# processes the run started, and removes the port link it made.
# --check runs the panel on a private virtual screen, checks that its window shows, saves a
# screenshot (build/run-panel-check.png, the panel's window alone in
# build/run-panel-check-window.png), closes the panel and checks that nothing is left.
# Missing packages are installed with apt-get (needs root the first time).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="run-panel.sh"

# die WHAT [WHAT-TO-DO]: says what failed and what to do, then ends the run (cleaning up).
die() {
    echo "$ME: $1" >&2
    [ -n "${2:-}" ] && echo "$ME: $2" >&2
    exit 1
}

device=""
com=""
check=0
while [ $# -gt 0 ]; do
    case "$1" in
        --device) [ $# -ge 2 ] || die "--device needs a path" "for example: --device /dev/ttyUSB0"
                  device="$2"; shift 2 ;;
        --com) [ $# -ge 2 ] || die "--com needs a port number" "for example: --com 3"
               com="$2"; shift 2 ;;
        --check) check=1; shift ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) die "unknown argument $1" "see tools/run-panel.sh --help" ;;
    esac
done
case "$com" in
    ""|[1-9]) ;;
    *) die "--com $com is not a port of the panel" "give a number from 1 to 9 (the panel's port lines)" ;;
esac
if [ -n "$device" ] && [ ! -c "$device" ]; then
    die "$device is not a serial device" "check the path (ls /dev/ttyUSB* /dev/ttyACM*) and that the board is plugged in"
fi

# The text of the panel's port line for port N.
port_line() {
    if [ "$1" = 8 ]; then echo "CJM 8"; else echo "COM $1"; fi
}

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages ||
    die "installing the missing packages failed" "run it once as root (sudo tools/run-panel.sh) or install them with apt-get"

mkdir -p "$ROOT/build" || die "cannot create $ROOT/build" "check the permissions of $ROOT"
build_log="$ROOT/build/run-panel-build.log"
echo "== building the panel"
if ! cmake --preset mingw >"$build_log" 2>&1 ||
    ! cmake --build --preset mingw --target fliran-panel serial_board_sim -j2 >>"$build_log" 2>&1; then
    tail -n 40 "$build_log" >&2
    die "building the panel failed (last lines above, all of it in ${build_log#"$ROOT"/})" \
        "fix the error, or run tools/test.sh to see whether the tree builds and its tests pass"
fi
panel_exe="$ROOT/build/mingw/fliran-panel.exe"
board_sim="$ROOT/build/mingw/board_sim/board_sim"

# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
# shellcheck source=tools/serial-line.sh
source "$ROOT/tools/serial-line.sh"
fliran_wine_env || die "cannot set up the Wine environment" "check that $ROOT/build is writable"
# The check always uses a private Xvfb (unless the instance it joins already has a display).
[ "$check" = 1 ] && unset DISPLAY

# --- What this run started, and how it all ends ---------------------------------------------------
acquired=0
board_pid=""
board_pty=""      # the board's pty, linked by the board itself
panel_pid=""
link_port=""      # a port link made here for --device
link_before=""    # what that link pointed to before
restores=0

cleanup() {
    trap '' INT HUP TERM
    fliran_stop_pid "$panel_pid"
    panel_pid=""
    fliran_stop_pid "$board_pid"
    board_pid=""
    # The board removes its link when it ends; one killed outright cannot.
    if [ -n "$board_pty" ] && [ "$(fliran_wine_com_target "$com")" = "$board_pty" ]; then
        fliran_wine_unmap_com "$com"
    fi
    board_pty=""
    if [ -n "$link_port" ] && [ "$(fliran_wine_com_target "$link_port")" = "$device" ]; then
        if [ -n "$link_before" ]; then
            fliran_wine_map_com "$link_port" "$link_before"
        else
            fliran_wine_unmap_com "$link_port"
        fi
    fi
    link_port=""
    if [ "$acquired" = 1 ]; then
        # The last user of the Wine instance stops wineserver (with every Windows process of
        # the prefix) and the private Xvfb.
        fliran_wine_release "$$"
        acquired=0
    fi
}
on_signal() {
    echo >&2
    echo "== $1: stopping the panel, the board and Wine" >&2
    cleanup
    exit "$2"
}
trap cleanup EXIT
trap 'on_signal "interrupted" 130' INT
trap 'on_signal "terminal closed" 129' HUP
trap 'on_signal "terminated" 143' TERM

# --- Wine, the port, the panel ---------------------------------------------------------------------
# The instance (Xvfb if needed, wineserver, Wine's system processes) starts before any port is
# linked: Wine links the serial devices it finds itself as COM1, COM2, ... when it starts, which
# would replace a link made earlier. It creates the prefix on a first run.
in_use_before=0
own_display="${DISPLAY:-}"
fliran_wine_reap >/dev/null 2>&1
[ -f "$FLIRAN_WINE_STATE/display" ] && in_use_before=1
# Set first: a signal during the start still leaves (and so stops) what was started.
acquired=1
fliran_wine_acquire "$$" ||
    die "starting Wine failed" "see the logs in ${FLIRAN_WINE_STATE#"$ROOT"/}/ (wineboot.log, xvfb.log, wineserver.log)"

if [ -n "$device" ]; then
    fliran_serial_prepare "$device" ||
        die "could not put $device into raw mode" "check that it is a serial port and that you may use it (group dialout)"
    if [ -z "$com" ]; then
        # The first port Wine has not linked to a device of its own.
        for n in 1 2 3 4 5 6 7 8 9; do
            target="$(fliran_wine_com_target "$n")"
            if [ -z "$target" ] || [ ! -e "$target" ] || [ "$target" = "$device" ]; then
                com="$n"
                break
            fi
        done
        [ -n "$com" ] || die "Wine uses all ports 1 to 9 for devices of its own" "pick one with --com N"
    fi
    link_before="$(fliran_wine_com_target "$com")"
    if [ -n "$link_before" ] && [ "$link_before" != "$device" ] && [ -e "$link_before" ]; then
        echo "== port $com was $link_before; it is $device while the panel runs"
    fi
    [ "$link_before" = "$device" ] && link_before=""
    fliran_wine_map_com "$com" "$device" ||
        die "could not link $device as port $com" "check that $WINEPREFIX/dosdevices is writable"
    link_port="$com"
    echo "== port $com is $device: pick \"$(port_line "$com")\" in the panel's port box"
else
    com="${com:-1}"
    [ -x "$board_sim" ] || die "the virtual board $board_sim was not built" "see ${build_log#"$ROOT"/}"
    ready="$FLIRAN_WINE_STATE/board-ready.com$com"
    rm -f "$ready"
    board_log="$FLIRAN_WINE_STATE/board.com$com.log"
    "$board_sim" --wine-prefix "$WINEPREFIX" --com "$com" --ready-file "$ready" --log "$board_log" 9>&- &
    board_pid=$!
    for ((i = 0; i < 200; i++)); do
        [ -s "$ready" ] && break
        fliran_wine__pid_running "$board_pid" || break
        sleep 0.05
    done
    [ -s "$ready" ] || die "the virtual board did not start" "see its messages above"
    read -r board_pty <"$ready"
    echo "== the virtual bird board is on port $com: pick \"$(port_line "$com")\" in the panel's port box"
fi

if [ -z "$own_display" ] && [ "$check" = 0 ]; then
    echo "== no DISPLAY: the panel runs on a private virtual screen ($DISPLAY) you cannot see" >&2
fi
"${FLIRAN_WINE[@]}" "$panel_exe" </dev/null 9>&- &
panel_pid=$!

# keep_link: puts the --device link back if something replaced it while the panel runs.
keep_link() {
    [ -n "$link_port" ] || return 0
    [ "$(fliran_wine_com_target "$link_port")" = "$device" ] && return 0
    if [ "$restores" -ge 10 ]; then
        [ "$restores" -eq 10 ] && echo "$ME: port $link_port keeps being changed by another program; leaving it alone" >&2
        restores=11
        return 0
    fi
    restores=$((restores + 1))
    fliran_wine_map_com "$link_port" "$device" &&
        echo "$ME: port $link_port had been changed by another program; linked it to $device again" >&2
}

# wait_panel SECONDS: waits until the panel has ended (then sets panel_rc) or the time is up.
# Waits in short steps in which a trapped signal is handled at once.
panel_rc=""
wait_panel() {
    local end=$((SECONDS + $1))
    while fliran_wine__pid_running "$panel_pid"; do
        keep_link
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.5 &
        wait $!
    done
    wait "$panel_pid"
    panel_rc=$?
    panel_pid=""
    return 0
}

# find_window: the id of the panel's largest shown window with the caption of its form.
find_window() {
    local id best="" best_area=0 w h
    for id in $(xdotool search --all --onlyvisible --pid "$panel_pid" --name '^ФЛИРАН_1$' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
        w="${WIDTH:-0}" h="${HEIGHT:-0}"
        if [ $((w * h)) -gt "$best_area" ]; then
            best="$id" best_area=$((w * h)) size="${w}x$h"
        fi
    done
    [ -n "$best" ] && [ "$best_area" -ge $((200 * 200)) ] && window="$best"
}
window=""
size=""
# wait_window: waits (at most 60 s) until the panel's window is shown; false if it is not.
wait_window() {
    local i
    for ((i = 0; i < 600; i++)); do
        find_window && return 0
        fliran_wine__pid_running "$panel_pid" || return 1
        sleep 0.1
    done
    return 1
}
# settle_screen: a window is shown before its controls have painted: waits until two screens in
# a row are the same (at most about 10 s; a blinking caret may keep them from ever being equal).
settle_screen() {
    local previous="" current i
    for ((i = 0; i < 30; i++)); do
        current="$(import -display "$DISPLAY" -window root rgb:- 2>/dev/null | md5sum)"
        [ "$current" = "$previous" ] && break
        previous="$current"
        sleep 0.3
    done
}

if [ "$check" = 0 ]; then
    # On the private screen nobody sees the panel: a screenshot shows it.
    if [ -z "$own_display" ]; then
        shot="$ROOT/build/run-panel.png"
        rm -f "$shot"
        if wait_window && settle_screen && import -display "$DISPLAY" -window "$window" "$shot" 2>/dev/null; then
            echo "== a screenshot of the panel: ${shot#"$ROOT"/}"
        else
            echo "$ME: no screenshot of the panel could be taken" >&2
        fi
    fi
    echo "== the panel runs; close it (or press Ctrl-C here) to end"
    until wait_panel 3600; do :; done
    cleanup
    exit "$panel_rc"
fi

# --- The check -----------------------------------------------------------------------------------
shot="$ROOT/build/run-panel-check.png"
rm -f "$shot"
if ! wait_window; then
    fliran_wine__pid_running "$panel_pid" || die "check: the panel ended before its window showed"
    die "check: no window of the panel was shown within 60 s"
fi
echo "== check: the panel's window is shown ($size)"
settle_screen
import -display "$DISPLAY" -window root "$shot" ||
    die "check: the screenshot failed" "is imagemagick installed (tools/packages.sh)?"
# The panel's window alone, as the README shows it.
window_shot="${shot%.png}-window.png"
import -display "$DISPLAY" -window "$window" "$window_shot" ||
    die "check: the screenshot of the panel's window failed" "is imagemagick installed (tools/packages.sh)?"
echo "== check: screenshots ${shot#"$ROOT"/} and ${window_shot#"$ROOT"/}"
# Pick the board's port line as a user would (click into the port box, then the Down key once
# per line: the box starts with no current line), press "СИЯНЬЕ ГЛАЗ" and look for "600" LF at
# the board. The positions are the controls' places in the panel's client area.
if [ -n "$board_pid" ]; then
    downs=""
    for ((i = 0; i <= com; i++)); do downs+=" Down"; done
    xdotool mousemove --sync --window "$window" 60 230 click 1 sleep 0.2 key --delay 100 $downs sleep 0.5 \
        mousemove --sync --window "$window" 352 192 click 1 ||
        die "check: picking the port and pressing glow with xdotool failed"
    got=""
    for ((i = 0; i < 100; i++)); do
        grep -q ' rx .*3630300a' "$board_log" 2>/dev/null && { got=1; break; }
        sleep 0.1
    done
    [ -n "$got" ] || die "check: the board did not receive \"600\" after picking \"$(port_line "$com")\" and pressing glow" \
        "its log: $board_log"
    echo "== check: picked \"$(port_line "$com")\", pressed glow: the board received \"600\""
fi
xdotool windowfocus --sync "$window" && xdotool key alt+F4 ||
    die "check: sending Alt+F4 to the panel failed"
wait_panel 30 || die "check: the panel did not end within 30 s of Alt+F4"
[ "$panel_rc" = 0 ] || die "check: the panel ended with exit code $panel_rc"
echo "== check: the panel ended with exit code 0"

xvfb_pid="$(cat "$FLIRAN_WINE_STATE/xvfb.pid" 2>/dev/null)"
cleanup
if [ "$in_use_before" = 1 ] || [ -f "$FLIRAN_WINE_STATE/display" ]; then
    echo "== check: the Wine instance of $WINEPREFIX is used by another run too; not checking it"
else
    for ((i = 0; i < 100; i++)); do
        left="$(fliran_wine_processes)"
        [ -z "$left" ] && ! fliran_wine__pid_running "$xvfb_pid" && break
        sleep 0.1
    done
    if [ -n "$left" ]; then
        echo "$left" >&2
        die "check: processes of the run are left (listed above)"
    fi
    fliran_wine__pid_running "$xvfb_pid" && die "check: Xvfb ($xvfb_pid) is left"
fi
[ -z "$(fliran_wine_com_target "$com")" ] || [ -n "$device" ] ||
    die "check: the port link com$com was left in $WINEPREFIX/dosdevices"
echo "== check: nothing of the run is left running"
echo "run-panel check passed"
