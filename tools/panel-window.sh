# shellcheck shell=bash
# Finding the panel's window on the X display in DISPLAY, for the scripts that start the panel and
# check that it shows (tools/run-panel.sh, tests/scripts/release_test.sh). Source this file from
# bash after tools/wine-prefix.sh; it only defines functions.
#
#   fliran_find_window PID CAPTION MIN-AREA
#       sets FLIRAN_WINDOW (the X window id) and FLIRAN_WINDOW_SIZE (WIDTHxHEIGHT) to the largest
#       shown window of process PID whose caption matches the regular expression CAPTION, and
#       succeeds, when that window has at least MIN-AREA pixels
#   fliran_wait_window PID CAPTION MIN-AREA [SECONDS]
#       the same, waiting at most SECONDS (default 60) for the window; fails at once when PID ends
#   fliran_settle_screen
#       waits until two screenshots in a row are the same: a window is shown before its controls
#       have painted (at most about 10 s; a blinking caret may keep them from ever being equal)

# shellcheck disable=SC2034  # FLIRAN_WINDOW and FLIRAN_WINDOW_SIZE are the caller's
fliran_find_window() {
    local pid="$1" caption="$2" min_area="$3" id best="" best_area=0 size="" w h WIDTH HEIGHT
    FLIRAN_WINDOW="" FLIRAN_WINDOW_SIZE=""
    for id in $(xdotool search --all --onlyvisible --pid "$pid" --name "$caption" 2>/dev/null); do
        WIDTH="" HEIGHT=""
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
        w="${WIDTH:-0}" h="${HEIGHT:-0}"
        if [ $((w * h)) -gt "$best_area" ]; then
            best="$id" best_area=$((w * h)) size="${w}x$h"
        fi
    done
    [ -n "$best" ] && [ "$best_area" -ge "$min_area" ] || return 1
    FLIRAN_WINDOW="$best" FLIRAN_WINDOW_SIZE="$size"
}

fliran_wait_window() {
    local i
    for ((i = 0; i < ${4:-60} * 10; i++)); do
        fliran_find_window "$1" "$2" "$3" && return 0
        fliran_wine__pid_running "$1" || return 1
        sleep 0.1
    done
    return 1
}

fliran_settle_screen() {
    local previous="" current i
    for ((i = 0; i < 30; i++)); do
        current="$(import -display "$DISPLAY" -window root rgb:- 2>/dev/null | md5sum)"
        [ "$current" = "$previous" ] && break
        previous="$current"
        sleep 0.3
    done
}
