#!/usr/bin/env bash
# Runs the panel under Wine, building what is needed first. The usage is below (--help prints it).
set -uo pipefail
# Relative paths (--device, FLIRAN_WINEPREFIX) are the user's: taken from where the script was run.
FLIRAN_CALLER_DIR="$PWD"
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="run-panel.sh"

usage() {
    cat <<'EOF'
usage: tools/run-panel.sh [--device DEV] [--com N] [--check] [-- PANEL-ARGUMENTS...]

Builds the panel and the virtual bird board, starts the project's Wine session and runs the panel
in it.

  (no options)       the virtual bird board answers on port 1 and prints what the bird does
  --device DEV       a real board on the serial device DEV (for example /dev/ttyUSB0; a relative
                     path is taken from the folder you ran the script from). DEV is put into raw
                     mode without XON/XOFF while the panel runs and gets its settings back at the end
  --com N            use port N (1-9): for the virtual board instead of 1, for DEV instead of the
                     first port that Wine and other runs leave free
  --check            start, look, pick the port, press glow, close and check that nothing is left
  -- ARGS...         pass ARGS to the panel; "-- /ih" shows only its information box
  -h, --help         this text

The script says which line to pick in the panel's port box: "COM 1" ... "COM 9" open ports 1 ... 9
(the line for port 8 reads "CJM 8"). One run at a time may use a port: a second run on the same
port is refused and told which run has it (give it another port with --com N).

Without DISPLAY the panel runs on a private virtual screen; a screenshot of it is saved to
build/run-panel.png once its window has painted, and the script says which display it is.
Closing the panel, Ctrl-C or closing the terminal ends the panel, the board and the Wine processes
the run started, and removes the port link it made.

--check runs the panel on a private virtual screen, checks that its window shows, saves screenshots
(build/run-panel-check.png, the panel's window alone in build/run-panel-check-window.png), picks
the board's port and presses glow with real input, closes the panel and checks that nothing is
left. It always runs the panel untraced.

Environment:
  FLIRAN_TRACE=1         trace the dataflow: the panel reports every hop to the trace debugger and
                         waits for it at each hop. The script then also builds
                         build/native/trace_debugger and starts the panel only once a debugger
                         listens on the port; until then it waits and says what to start
  FLIRAN_TRACE_PORT=N    the debugger's UDP port on 127.0.0.1 (default 120, which needs root on
                         Linux: use for example 5120 with trace_debugger --port 5120)
  FLIRAN_WINEPREFIX=DIR  the Wine prefix (default build/wine-prefix); DIR must be new, empty or
                         made by this project: any other folder is refused and left as it is

Missing packages are installed with apt-get, which needs root: run the script once with sudo.
Under sudo only the packages are installed as root; everything else runs as you.
EOF
}

# die WHAT [WHAT-TO-DO]: says what failed and what to do, then ends the run (cleaning up).
die() {
    echo "$ME: $1" >&2
    [ -n "${2:-}" ] && echo "$ME: $2" >&2
    exit 1
}

device=""
com=""
check=0
panel_args=()
rerun_args=()      # the arguments again, DEV made absolute, for going on as the sudo user
while [ $# -gt 0 ]; do
    case "$1" in
        --device) [ $# -ge 2 ] || die "--device needs a path" "for example: --device /dev/ttyUSB0"
                  device="$2"
                  [ "${device:0:1}" = / ] || device="$FLIRAN_CALLER_DIR/$device"
                  rerun_args+=(--device "$device")
                  shift 2 ;;
        --com) [ $# -ge 2 ] || die "--com needs a port number" "for example: --com 3"
               com="$2"
               rerun_args+=(--com "$com")
               shift 2 ;;
        --check) check=1; rerun_args+=(--check); shift ;;
        --) shift; panel_args=("$@"); rerun_args+=(-- "$@"); break ;;
        -h|--help) usage; exit 0 ;;
        *) die "unknown argument $1" "see tools/run-panel.sh --help; arguments for the panel go after --" ;;
    esac
done
case "$com" in
    ""|[1-9]) ;;
    *) die "--com $com is not a port of the panel" "give a number from 1 to 9 (the panel's port lines)" ;;
esac
if [ -n "$device" ] && [ ! -c "$device" ]; then
    die "$device is not a serial device" "check the path (ls /dev/ttyUSB* /dev/ttyACM*) and that the board is plugged in"
fi
[ "$check" = 1 ] && [ ${#panel_args[@]} -gt 0 ] &&
    die "--check runs the panel without arguments" "leave out -- ${panel_args[*]}"

# The trace switch, read as the panel reads it: FLIRAN_TRACE exactly 1, FLIRAN_TRACE_PORT 1..65535.
if [ "$check" = 1 ]; then
    # Traced, the checked panel would wait at its first hop for a debugger nobody started.
    unset FLIRAN_TRACE FLIRAN_TRACE_PORT
fi
trace_port=""
if [ "${FLIRAN_TRACE:-}" = 1 ]; then
    trace_port=120
    if [ -n "${FLIRAN_TRACE_PORT+set}" ]; then
        if ! [[ "$FLIRAN_TRACE_PORT" =~ ^[0-9]{1,5}$ ]] ||
            ((10#$FLIRAN_TRACE_PORT < 1 || 10#$FLIRAN_TRACE_PORT > 65535)); then
            die "FLIRAN_TRACE_PORT=$FLIRAN_TRACE_PORT is not a port (1 to 65535): the panel would not trace" \
                "set the debugger's port, for example FLIRAN_TRACE_PORT=5120 with trace_debugger --port 5120"
        fi
        trace_port=$((10#$FLIRAN_TRACE_PORT))
    fi
elif [ -n "${FLIRAN_TRACE:-}" ]; then
    echo "== FLIRAN_TRACE=$FLIRAN_TRACE leaves tracing off: only FLIRAN_TRACE=1 turns it on"
fi

# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
# The prefix is checked before anything is installed or built: a folder the project did not make
# is refused and never touched.
fliran_wine_prefix_path || exit 1
[ -n "${FLIRAN_WINEPREFIX+set}" ] && export FLIRAN_WINEPREFIX="$FLIRAN_WINE_PREFIX_PATH"

# The text of the panel's port line for port N.
port_line() {
    if [ "$1" = 8 ]; then echo "CJM 8"; else echo "COM $1"; fi
}

# --- Runs of this script and the ports they use -------------------------------------------------
# Each run records itself (pid and start time) in the state folder for its port, and the virtual
# board it started beside it. A second run on a port in use is refused, so two boards never fight
# over one port link, ready file and log.
state_dir="$FLIRAN_WINE_PREFIX_PATH.run"
run_record() { echo "$state_dir/run-panel.com$1"; }
board_record() { echo "$state_dir/board.com$1.pid"; }
# port_taken N: true when another live run of this script uses port N; sets other_pid.
other_pid=""
port_taken() {
    fliran_wine__read_pid "$(run_record "$1")" && [ "$FLIRAN_WINE__PID" != "$$" ] || return 1
    other_pid="$FLIRAN_WINE__PID"
}
# refuse_taken N: ends this run if port N is taken, naming the run that has it and a free port.
refuse_taken() {
    local n holder free=""
    port_taken "$1" || return 0
    holder="$other_pid"
    for n in 1 2 3 4 5 6 7 8 9; do
        port_taken "$n" || { free="$n"; break; }
    done
    die "port $1 is used by another run of the panel: tools/run-panel.sh, pid $holder" \
        "close that panel first${free:+, or give this run another port: --com $free}"
}
if [ -n "$com" ]; then
    refuse_taken "$com"
elif [ -z "$device" ]; then
    refuse_taken 1
fi

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages ||
    die "installing the missing packages failed" \
        "run it once with sudo (sudo tools/run-panel.sh): it installs them and goes on as you"
fliran_as_invoking_user "$ROOT" "$ROOT/tools/run-panel.sh" "${rerun_args[@]}"

mkdir -p "$ROOT/build" || die "cannot create $ROOT/build" "check the permissions of $ROOT"
build_log="$ROOT/build/run-panel-build.log"
# build_step WHAT COMMAND...: runs one build command with its output going to the build log and
# shows how far it got (make's percentages of the files it compiles or links, at most one line
# per ten; nothing when all is up to date).
build_step() {
    echo "== $1"
    shift
    "$@" 2>&1 | tee -a "$build_log" | awk '
        /^\[ *[0-9]+%\] (Building|Linking)/ {
            pct = substr($0, 2, index($0, "%") - 2) + 0
            if (int(pct / 10) > shown) { shown = int(pct / 10); printf "   %d%%\n", pct; fflush() }
        }'
}
: >"$build_log"
echo "== building what the run needs (the first build takes a few minutes; log: ${build_log#"$ROOT"/})"
built=1
if ! build_step "configuring the Windows build (mingw preset)" cmake --preset mingw ||
    ! build_step "compiling the panel and the virtual board" \
        cmake --build --preset mingw --target fliran-panel serial_board_sim -j2; then
    built=0
elif [ -n "$trace_port" ]; then
    build_step "configuring the native build for the trace debugger" cmake --preset native &&
        build_step "compiling the trace debugger" cmake --build --preset native --target trace_debugger -j2 ||
        built=0
fi
if [ "$built" = 0 ]; then
    tail -n 40 "$build_log" >&2
    die "building failed (last lines above, all of it in ${build_log#"$ROOT"/})" \
        "fix the error, or run tools/test.sh to see whether the tree builds and its tests pass"
fi
echo "== built"
panel_exe="$ROOT/build/mingw/fliran-panel.exe"
board_sim="$ROOT/build/mingw/board_sim/board_sim"

# shellcheck source=tools/serial-line.sh
source "$ROOT/tools/serial-line.sh"
# shellcheck source=tools/panel-window.sh
source "$ROOT/tools/panel-window.sh"
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
saved_tty=""      # the --device tty's settings before the run (stty -g)
claimed=""        # the port whose run record is this run's
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
    if [ -n "$saved_tty" ]; then
        stty -F "$device" "$saved_tty" 2>/dev/null ||
            echo "$ME: could not restore the settings of $device" >&2
        saved_tty=""
    fi
    if [ -n "$claimed" ]; then
        rm -f "$(run_record "$claimed")" "$(board_record "$claimed")"
        claimed=""
    fi
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

if [ -n "$device" ] && [ -z "$com" ]; then
    # The first port that neither Wine has linked to a device of its own nor another run uses.
    for n in 1 2 3 4 5 6 7 8 9; do
        port_taken "$n" && continue
        target="$(fliran_wine_com_target "$n")"
        if [ -z "$target" ] || [ ! -e "$target" ] || [ "$target" = "$device" ]; then
            com="$n"
            break
        fi
    done
    [ -n "$com" ] || die "Wine or other runs use all ports 1 to 9" "pick one with --com N"
fi
com="${com:-1}"
# The port is claimed under the session's lock, so two runs starting at once cannot both take it.
# A board that a run killed outright (SIGKILL) left running on the port is ended here.
fliran_wine_lock || die "cannot lock $FLIRAN_WINE_STATE/lock"
if port_taken "$com"; then
    fliran_wine_unlock
    refuse_taken "$com"
fi
fliran_wine__write_pid "$(run_record "$com")" "$$"
claimed="$com"
if fliran_wine__read_pid "$(board_record "$com")"; then
    echo "== ending the virtual board (pid $FLIRAN_WINE__PID) an earlier run left on port $com"
    kill "$FLIRAN_WINE__PID" 2>/dev/null
fi
fliran_wine_unlock

if [ -n "$device" ]; then
    saved_tty="$(stty -g -F "$device" 2>/dev/null)" ||
        die "could not read the settings of $device" "check that it is a serial port and that you may use it (group dialout)"
    fliran_serial_prepare "$device" ||
        die "could not put $device into raw mode" "check that it is a serial port and that you may use it (group dialout)"
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
    [ -x "$board_sim" ] || die "the virtual board $board_sim was not built" "see ${build_log#"$ROOT"/}"
    ready="$FLIRAN_WINE_STATE/board-ready.com$com"
    rm -f "$ready"
    board_log="$FLIRAN_WINE_STATE/board.com$com.log"
    "$board_sim" --wine-prefix "$WINEPREFIX" --com "$com" --ready-file "$ready" --log "$board_log" 9>&- &
    board_pid=$!
    fliran_wine__write_pid "$(board_record "$com")" "$board_pid"
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
    echo "== no DISPLAY: the panel runs on the private virtual screen $DISPLAY; a screenshot follows" \
        "(to use the panel there: x11vnc -display $DISPLAY -localhost, then a VNC viewer; see the README)" >&2
fi

# udp_listening PORT: true when a socket is bound to PORT of 127.0.0.1 (or of every address).
udp_listening() {
    local hex local_address
    printf -v hex '%04X' "$1"
    while read -r _ local_address _; do
        case "$local_address" in
            0100007F:"$hex" | 00000000:"$hex") return 0 ;;
        esac
    done </proc/net/udp
    return 1
}
# Traced, the panel waits at its first hop until the debugger answers; a report sent before the
# debugger listens is lost, so the panel starts only once it listens.
if [ -n "$trace_port" ]; then
    echo "== tracing is on: the panel reports every hop to UDP 127.0.0.1:$trace_port and waits for the debugger at each"
    if ! udp_listening "$trace_port"; then
        echo "== waiting for the debugger; start it in another terminal:"
        echo "     cd $ROOT && build/native/trace_debugger --port $trace_port"
        if [ "$trace_port" -lt 1024 ] && [ "$(id -u)" != 0 ]; then
            echo "   (port $trace_port needs root; or use another: FLIRAN_TRACE_PORT=5120 here and --port 5120 there)"
        fi
        until udp_listening "$trace_port"; do
            sleep 0.2 &
            wait $!
        done
    fi
    echo "== the debugger listens on 127.0.0.1:$trace_port: starting the panel"
fi
"${FLIRAN_WINE[@]}" "$panel_exe" "${panel_args[@]}" </dev/null 9>&- &
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

# What the panel shows: its form, or with /ih only its information box.
caption='^ФЛИРАН_1$'
min_area=$((200 * 200))
if [ "${panel_args[0]:-}" = /ih ]; then
    caption='^Kvorn Info$'
    min_area=1
fi
window=""
size=""
# wait_window: waits (at most 60 s) until the panel's window is shown; false if it is not.
wait_window() {
    fliran_wait_window "$panel_pid" "$caption" "$min_area" 60 || return 1
    window="$FLIRAN_WINDOW" size="$FLIRAN_WINDOW_SIZE"
}

if [ "$check" = 0 ]; then
    # On the private screen nobody sees the panel: a screenshot shows it.
    if [ -z "$own_display" ]; then
        shot="$ROOT/build/run-panel.png"
        rm -f "$shot"
        if wait_window && fliran_settle_screen && import -display "$DISPLAY" -window "$window" "$shot" 2>/dev/null; then
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
fliran_settle_screen
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

xvfb_pid=""
fliran_wine__read_pid "$FLIRAN_WINE_STATE/xvfb.pid" && xvfb_pid="$FLIRAN_WINE__PID"
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
