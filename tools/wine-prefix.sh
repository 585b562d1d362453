# shellcheck shell=bash
# Wine environment of the project: one private prefix, one display and one
# wineserver that are shared by every program run under Wine at the same time.
#
# Source this file from bash; it only defines functions and variables.
#
#   fliran_wine_env            sets WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES
#   fliran_wine_acquire PID    joins (or starts) the shared instance for process PID
#                              and exports DISPLAY; the instance lives while PID does
#   fliran_wine_release PID    leaves it; the last one out stops Xvfb and wineserver
#   fliran_wine_reap           stops the instance if no user of it is alive
#   fliran_wine_shutdown       stops the instance whoever still uses it
#   fliran_wine_run ARGS...    runs wine ARGS like "${FLIRAN_WINE[@]}" ARGS, but once more
#                              when Wine's process teardown aborted (recorded for the summary);
#                              the NAME=VALUE words of the array FLIRAN_WINE_PROGRAM_ENV are set
#                              for that program only
#   "${FLIRAN_WINE_PROGRAM[@]}" ARGS   the wine command line with FLIRAN_WINE_PROGRAM_ENV
#   fliran_wine_map_com N DEV  makes COMn inside the prefix open the Unix device DEV
#   fliran_wine_com_target N   prints what COMn points to (nothing if there is no link)
#   fliran_wine_processes      lists the processes started for the prefix that still run
#   "${FLIRAN_WINE[@]}" ARGS   the wine command line to use (no wine32 noise)
#
# Layout (all paths overridable by FLIRAN_WINEPREFIX):
#   build/wine-prefix        the prefix itself (created once with wineboot -i)
#   build/wine-prefix.run/   lock file, registered users, Xvfb pid, display, logs
#
# The scripts only ever use, stop or delete a prefix the project made itself: one with the
# marker file .fliran-prefix (or .fliran-ready, which older versions wrote) in it. A folder
# named in FLIRAN_WINEPREFIX that exists without the marker (a user's own ~/.wine, say) is
# refused and left as it is, and so are an empty value, "/", the home folder and the folders
# that hold the home folder or the repository. A relative FLIRAN_WINEPREFIX is taken from
# FLIRAN_CALLER_DIR, the folder the user ran the script from, if the script has set it.
#
# All state changes happen under an exclusive flock on file descriptor 9, so
# parallel ctest jobs never create the prefix twice or start two servers.

# Every test program start goes through these functions, so they avoid
# spawning helper processes where a bash builtin does the job.
fliran_wine__abs_dir() {
    # Prints nothing; sets FLIRAN_WINE__DIR to the absolute form of folder $1.
    pushd "$1" >/dev/null || return 1
    FLIRAN_WINE__DIR="$PWD"
    popd >/dev/null || return 1
}

case "${BASH_SOURCE[0]}" in
    */*) fliran_wine__abs_dir "${BASH_SOURCE[0]%/*}" ;;
    *) fliran_wine__abs_dir . ;;
esac
FLIRAN_WINE_TOOLS_DIR="$FLIRAN_WINE__DIR"
FLIRAN_REPO_ROOT="${FLIRAN_WINE_TOOLS_DIR%/*}"

# fliran_wine_prefix_path: sets FLIRAN_WINE_PREFIX_PATH to the absolute path of the prefix to
# use; when the prefix may not be used (see above) it says why and what to do, and fails. Changes
# nothing on disk, so a script can call it before it installs or builds anything.
fliran_wine_prefix_path() {
    local prefix home
    FLIRAN_WINE_PREFIX_PATH=""
    if [ -z "${FLIRAN_WINEPREFIX+set}" ]; then
        FLIRAN_WINE_PREFIX_PATH="$FLIRAN_REPO_ROOT/build/wine-prefix"
        return 0
    fi
    prefix="$FLIRAN_WINEPREFIX"
    if [ -z "$prefix" ]; then
        fliran_wine__refuse "FLIRAN_WINEPREFIX is set but empty"
        return 1
    fi
    case "$prefix" in
        /*) ;;
        *) prefix="${FLIRAN_CALLER_DIR:-$PWD}/$prefix" ;;
    esac
    prefix="$(realpath -m -- "$prefix")" || return 1
    home="$(realpath -m -- "${HOME:-/}")"
    case "$prefix" in
        /) fliran_wine__refuse "FLIRAN_WINEPREFIX=$FLIRAN_WINEPREFIX is the root folder"; return 1 ;;
    esac
    case "$home/" in
        "$prefix"/*) fliran_wine__refuse "FLIRAN_WINEPREFIX=$FLIRAN_WINEPREFIX is your home folder or holds it"; return 1 ;;
    esac
    case "$FLIRAN_REPO_ROOT/" in
        "$prefix"/*) fliran_wine__refuse "FLIRAN_WINEPREFIX=$FLIRAN_WINEPREFIX is the repository or holds it"; return 1 ;;
    esac
    if [ -e "$prefix" ] && ! fliran_wine__ours "$prefix"; then
        if [ ! -d "$prefix" ] || [ -n "$(ls -A -- "$prefix" 2>/dev/null)" ]; then
            fliran_wine__refuse "$prefix exists and was not made by this project (it has no .fliran-prefix); it is left as it is" \
                "if it is a prefix this project began to make and never finished, delete it yourself (rm -rf $prefix)"
            return 1
        fi
    fi
    FLIRAN_WINE_PREFIX_PATH="$prefix"
}

# fliran_wine__ours DIR: true if DIR holds the marker of a prefix the project made.
fliran_wine__ours() {
    [ -f "$1/.fliran-prefix" ] || [ -f "$1/.fliran-ready" ]
}

fliran_wine__refuse() {
    echo "wine-prefix: $1" >&2
    [ -n "${2:-}" ] && echo "wine-prefix: $2" >&2
    echo "wine-prefix: name a new or empty folder in FLIRAN_WINEPREFIX, or unset it to use build/wine-prefix" >&2
}

fliran_wine_env() {
    local prefix
    fliran_wine_prefix_path || return 1
    prefix="$FLIRAN_WINE_PREFIX_PATH"
    [ -d "${prefix%/*}" ] || mkdir -p "${prefix%/*}" || return 1
    export WINEPREFIX="$prefix"
    export WINEARCH=win64
    export WINEDEBUG="${FLIRAN_WINEDEBUG:--all}"
    # Empty overrides for mscoree and mshtml: Wine never offers to install
    # Mono or Gecko, so no dialog can block an unattended run.
    # winemenubuilder is disabled so Wine adds no menu entries or file
    # associations to the Linux desktop of the user.
    case "${WINEDLLOVERRIDES:-}" in
        mscoree,mshtml=*) ;;
        *) export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
    esac
    FLIRAN_WINE_STATE="$WINEPREFIX.run"
    [ -d "$FLIRAN_WINE_STATE/users" ] || mkdir -p "$FLIRAN_WINE_STATE/users"

    # Debian's /usr/bin/wine prints a hint about the missing 32-bit loader on
    # every start; calling the 64-bit loader directly avoids it.
    if [ -x /usr/lib/wine/wine64 ] && [ ! -x /usr/lib/wine/wine ]; then
        export WINELOADER=/usr/lib/wine/wine64
        FLIRAN_WINE=(/usr/lib/wine/wine64)
    elif command -v wine64 >/dev/null 2>&1 && ! command -v wine >/dev/null 2>&1; then
        FLIRAN_WINE=(wine64)
    else
        FLIRAN_WINE=(wine)
    fi
    # The variables a program run gets on top of the session's (wine-run.sh --env).
    FLIRAN_WINE_PROGRAM_ENV=()
    if [ -x /usr/lib/wine/wineserver64 ]; then
        FLIRAN_WINESERVER=/usr/lib/wine/wineserver64
    else
        FLIRAN_WINESERVER=wineserver
    fi
}

fliran_wine__log() {
    [ -n "${FLIRAN_WINE_VERBOSE:-}" ] && echo "wine-prefix: $*" >&2
    return 0
}

fliran_wine_lock() {
    exec 9>>"$FLIRAN_WINE_STATE/lock"
    if ! flock -w "${FLIRAN_WINE_LOCK_TIMEOUT:-600}" 9; then
        echo "wine-prefix: could not lock $FLIRAN_WINE_STATE/lock" >&2
        return 1
    fi
}

# Closing the descriptor drops the lock: every child started while it was
# held got descriptor 9 closed ("9>&-"), so no other copy keeps it.
fliran_wine_unlock() {
    exec 9>&-
}

# Reads /proc/PID/stat: sets FLIRAN_WINE__STATE (R, S, Z, ...) and
# FLIRAN_WINE__START (start time, field 22). Pid and start time together
# identify a process even if the pid is reused later.
fliran_wine__procstat() {
    local stat
    FLIRAN_WINE__STATE="" FLIRAN_WINE__START=""
    [ -n "$1" ] || return 1
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    stat="${stat##*) }"
    # shellcheck disable=SC2086
    set -- $stat
    FLIRAN_WINE__STATE="$1" FLIRAN_WINE__START="${20}"
}

fliran_wine__alive() {
    local want
    { read -r want <"$FLIRAN_WINE_STATE/users/$1"; } 2>/dev/null || return 1
    fliran_wine__procstat "$1" || return 1
    [ "$want" = "$FLIRAN_WINE__START" ] && [ "$FLIRAN_WINE__STATE" != Z ]
}

# Drops users whose process is gone; succeeds if someone is still there.
fliran_wine__prune() {
    local file pid any=1
    for file in "$FLIRAN_WINE_STATE"/users/*; do
        [ -e "$file" ] || continue
        pid="${file##*/}"
        if fliran_wine__alive "$pid"; then
            any=0
        else
            rm -f "$file"
        fi
    done
    return $any
}

# fliran_wine__write_pid FILE PID: records PID with its start time, so that a later reader signals
# it only while it is still that process (after a crash or a reboot the number may belong to any
# process, and the scripts may run as root).
fliran_wine__write_pid() {
    fliran_wine__procstat "$2" || return 1
    echo "$2 $FLIRAN_WINE__START" >"$1"
}

# fliran_wine__read_pid FILE: sets FLIRAN_WINE__PID to the pid recorded in FILE when that process
# still runs with the recorded start time; otherwise empties it and fails. A file without a start
# time (written by an older version) names no process.
fliran_wine__read_pid() {
    local pid="" start=""
    FLIRAN_WINE__PID=""
    { read -r pid start <"$1"; } 2>/dev/null || return 1
    [[ "$pid" =~ ^[0-9]+$ ]] && [ -n "$start" ] || return 1
    fliran_wine__procstat "$pid" && [ "$FLIRAN_WINE__STATE" != Z ] &&
        [ "$FLIRAN_WINE__START" = "$start" ] || return 1
    FLIRAN_WINE__PID="$pid"
}

# True while PID runs; a zombie waiting to be reaped counts as gone.
fliran_wine__pid_running() {
    fliran_wine__procstat "$1" && [ "$FLIRAN_WINE__STATE" != Z ]
}

fliran_wine__wait_gone() {
    local pid="$1" i
    for ((i = 0; i < 100; i++)); do
        fliran_wine__pid_running "$pid" || return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null
    return 0
}

# fliran_stop_pid PID: TERM, then KILL if it is still there after 5 s; reaps it when it is a child
# of this shell. An empty PID does nothing.
fliran_stop_pid() {
    [ -n "$1" ] || return 0
    kill -TERM "$1" 2>/dev/null
    fliran_wine__wait_gone "$1"
    wait "$1" 2>/dev/null
    return 0
}

# Registry settings of the prefix; bump FLIRAN_WINE_CONFIG when changing them
# so existing prefixes get them too.
FLIRAN_WINE_CONFIG=2
fliran_wine__write_config() {
    # A crashing program must end with a failing exit code and must not wait
    # for someone to close a crash dialog: no debugger is attached
    # automatically (Wine still prints a backtrace to stderr).
    #
    # The test programs that show windows of their own get unmanaged X
    # windows: for a managed window Wine waits up to 2 s for a window manager
    # to confirm every hide, and on Xvfb none ever does, so each shown window
    # cost its test 2 s. Only the test programs (by their file names in the
    # build): the panel itself stays managed, so that on a desktop with a
    # window manager it keeps its frame and close button.
    printf '%s\r\n' \
        'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
        '"ShowCrashDialog"=dword:00000000' '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
        '"Debugger"=-' \
        '"Auto"="0"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\toolkit_tests.exe\X11 Driver]' \
        '"Managed"="N"' '' \
        '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\program_tests.exe\X11 Driver]' \
        '"Managed"="N"' '' >"$1"
}

# Creates the prefix once and applies the settings above. Caller holds the
# lock and no wineserver of the prefix runs.
fliran_wine_prefix_ensure() {
    local have="" log="$FLIRAN_WINE_STATE/wineboot.log" reg
    # No marker yet (no prefix at all) reads as "not ready"; the read must
    # not fail, or a caller running with "set -e" ends right here.
    { read -r have <"$WINEPREFIX/.fliran-ready"; } 2>/dev/null || have=""
    [ "$have" = "$FLIRAN_WINE_CONFIG" ] && return 0
    if [ ! -f "$WINEPREFIX/.fliran-ready" ]; then
        echo "wine-prefix: creating Wine prefix $WINEPREFIX (once, 10-20 s)" >&2
        # Only a prefix this project began (its marker, or the default folder in build/) is
        # deleted to start again; fliran_wine_env has refused any other non-empty folder.
        if fliran_wine__ours "$WINEPREFIX" || [ "$WINEPREFIX" = "$FLIRAN_REPO_ROOT/build/wine-prefix" ]; then
            rm -rf "$WINEPREFIX"
        fi
        if ! mkdir -p "$WINEPREFIX" || ! : >"$WINEPREFIX/.fliran-prefix"; then
            echo "wine-prefix: cannot write to $WINEPREFIX" >&2
            return 1
        fi
        if ! "${FLIRAN_WINE[@]}" wineboot -i </dev/null >"$log" 2>&1 9>&-; then
            echo "wine-prefix: wineboot -i failed, see $log" >&2
            "$FLIRAN_WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-
            return 1
        fi
    fi
    reg="$FLIRAN_WINE_STATE/prefix-config.reg"
    fliran_wine__write_config "$reg"
    if ! "${FLIRAN_WINE[@]}" regedit /S "Z:${reg//\//\\}" </dev/null >>"$log" 2>&1 9>&-; then
        echo "wine-prefix: importing $reg failed, see $log" >&2
        "$FLIRAN_WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-
        return 1
    fi
    # Wait for the server started above to exit: only then is the registry
    # written to disk and the prefix complete.
    "$FLIRAN_WINESERVER" -w </dev/null >/dev/null 2>&1 9>&-
    echo "$FLIRAN_WINE_CONFIG" >"$WINEPREFIX/.fliran-ready"
}

# Starts Xvfb on a free display number (Xvfb picks it itself). Caller holds
# the lock.
fliran_wine__start_xvfb() {
    local numfile="$FLIRAN_WINE_STATE/xvfb.display" i num
    : >"$numfile"
    # Double fork with setsid: Xvfb belongs to no test's process tree, so a
    # test killed on timeout does not take the shared display with it.
    (setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$numfile" </dev/null >"$FLIRAN_WINE_STATE/xvfb.log" 2>&1 9>&- &
     fliran_wine__write_pid "$FLIRAN_WINE_STATE/xvfb.pid" $!)
    for ((i = 0; i < 200; i++)); do
        # Xvfb writes the number and a newline once it accepts clients.
        num=""
        read -r num <"$numfile" 2>/dev/null && [ -n "$num" ] && break
        num=""
        fliran_wine__read_pid "$FLIRAN_WINE_STATE/xvfb.pid" || break
        sleep 0.05
    done
    if [ -z "$num" ]; then
        echo "wine-prefix: Xvfb did not start, see $FLIRAN_WINE_STATE/xvfb.log" >&2
        fliran_wine__read_pid "$FLIRAN_WINE_STATE/xvfb.pid" && kill "$FLIRAN_WINE__PID" 2>/dev/null
        rm -f "$FLIRAN_WINE_STATE/xvfb.pid"
        return 1
    fi
    echo ":$num" >"$FLIRAN_WINE_STATE/display"
}

# Background watchdog: stops the instance once every user process is gone,
# even if a user was killed before it could leave (ctest timeout, Ctrl-C).
fliran_wine__start_watcher() {
    (FLIRAN_WINEPREFIX="$WINEPREFIX" setsid bash -c '
        source "$1"
        fliran_wine_env
        while sleep 1; do
            fliran_wine_lock || continue
            owner=""
            read -r owner _ <"$FLIRAN_WINE_STATE/watcher.pid" 2>/dev/null
            if [ "$owner" != "$$" ]; then
                fliran_wine_unlock; exit 0
            fi
            if ! fliran_wine__prune; then
                rm -f "$FLIRAN_WINE_STATE/watcher.pid"
                fliran_wine__stop
                fliran_wine_unlock; exit 0
            fi
            fliran_wine_unlock
        done' fliran-wine-watcher "$FLIRAN_WINE_TOOLS_DIR/wine-prefix.sh" \
        </dev/null >/dev/null 2>&1 9>&- &
     fliran_wine__write_pid "$FLIRAN_WINE_STATE/watcher.pid" $!)
}

fliran_wine__running() {
    [ -f "$FLIRAN_WINE_STATE/display" ]
}

# Stops wineserver (and with it every Wine process of the prefix) and the Xvfb
# this script started. Caller holds the lock.
fliran_wine__stop() {
    local pid
    fliran_wine__log "stopping instance"
    "$FLIRAN_WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-
    "$FLIRAN_WINESERVER" -w </dev/null >/dev/null 2>&1 9>&-
    if fliran_wine__read_pid "$FLIRAN_WINE_STATE/xvfb.pid"; then
        pid="$FLIRAN_WINE__PID"
        kill "$pid" 2>/dev/null
        fliran_wine__wait_gone "$pid"
    fi
    if fliran_wine__read_pid "$FLIRAN_WINE_STATE/watcher.pid" && [ "$FLIRAN_WINE__PID" != "$$" ]; then
        kill "$FLIRAN_WINE__PID" 2>/dev/null
    fi
    rm -f "$FLIRAN_WINE_STATE/xvfb.pid" "$FLIRAN_WINE_STATE/watcher.pid" \
        "$FLIRAN_WINE_STATE/display" "$FLIRAN_WINE_STATE/xvfb.display" \
        "$FLIRAN_WINE_STATE/desktop-user.pid" "$FLIRAN_WINE_STATE/desktop-user.ready" \
        "$FLIRAN_WINE_STATE"/stderr.*
    rm -f "$FLIRAN_WINE_STATE"/users/*
}

# Ends the Wine processes of this prefix that outlived their wineserver: a run killed outright
# (SIGKILL, an out-of-memory kill) leaves services.exe, plugplay.exe, rpcss.exe and the like
# running without a server, and a new session would count them as its own. Only processes whose
# program is Wine's and whose environment names this prefix. Caller holds the lock and no user of
# the instance is alive.
fliran_wine__end_leftovers() {
    local pid rest exe pids=() names=""
    while read -r pid rest; do
        exe="$(readlink "/proc/$pid/exe" 2>/dev/null)"
        case "${exe##*/}" in
            wine*) ;;
            *) continue ;;
        esac
        pids+=("$pid")
        rest="${rest%% *}"
        names+=" ${rest##*[\\/]}"
    done < <(fliran_wine_processes)
    [ ${#pids[@]} -gt 0 ] || return 0
    echo "wine-prefix: ending ${#pids[@]} Wine processes of $WINEPREFIX left by an earlier run:$names" >&2
    kill -TERM "${pids[@]}" 2>/dev/null
    for pid in "${pids[@]}"; do
        fliran_wine__wait_gone "$pid"
    done
}

# Starts display, prefix and a persistent wineserver. Caller holds the lock.
fliran_wine__start() {
    fliran_wine__log "starting instance"
    # A previous instance whose users all died: clean it up first.
    fliran_wine__stop
    fliran_wine__end_leftovers
    if [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" >"$FLIRAN_WINE_STATE/display"
    else
        fliran_wine__start_xvfb || return 1
    fi
    DISPLAY="$(cat "$FLIRAN_WINE_STATE/display")"
    export DISPLAY
    if ! fliran_wine_prefix_ensure; then
        fliran_wine__stop
        return 1
    fi
    # Persistent server: it stays up between the test programs of one ctest
    # run instead of being restarted for each of them. It daemonizes itself;
    # its output goes to the state folder, never into a test's pipes.
    "$FLIRAN_WINESERVER" -p </dev/null >>"$FLIRAN_WINE_STATE/wineserver.log" 2>&1 9>&-
    # Boot the prefix once with detached standard handles so that the
    # long-lived Wine system processes do not hold a test's output pipe open.
    "${FLIRAN_WINE[@]}" wineboot </dev/null >>"$FLIRAN_WINE_STATE/wineserver.log" 2>&1 9>&-
    fliran_wine__start_desktop_user
    fliran_wine__start_watcher
}

# Starts tools/wine-desktop-user.cpp (built here once per source change): it
# makes Wine start its desktop process with standard error going to the state
# log, before any other program can hand it its own output pipe, and keeps it
# and Wine's system processes (which set up dosdevices/comN) up until the
# session stops. Without it a run still works, only slower, so a failure here
# is logged and the session goes on. Caller holds the lock.
fliran_wine__start_desktop_user() {
    local src="$FLIRAN_WINE_TOOLS_DIR/wine-desktop-user.cpp" exe="$FLIRAN_WINE_STATE/desktop-user.exe"
    local ready="$FLIRAN_WINE_STATE/desktop-user.ready" log="$FLIRAN_WINE_STATE/wineserver.log"
    local cxx pid i line=""
    if [ ! -f "$exe" ] || [ "$src" -nt "$exe" ]; then
        for cxx in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++ ""; do
            [ -z "$cxx" ] || command -v "$cxx" >/dev/null 2>&1 && break
        done
        if [ -z "$cxx" ] ||
            ! "$cxx" -O2 -mwindows -static -o "$exe.tmp" "$src" </dev/null >>"$log" 2>&1 9>&- ||
            ! mv -f "$exe.tmp" "$exe"; then
            echo "wine-prefix: could not build $exe; the session runs without it" >>"$log"
            rm -f "$exe.tmp"
            return 0
        fi
    fi
    : >"$ready"
    # setsid: no signal meant for a test's or the run script's process group
    # reaches it; wineserver -k ends it with the session.
    (setsid "${FLIRAN_WINE[@]}" "$exe" </dev/null >"$ready" 2>>"$log" 9>&- &
     echo $! >"$FLIRAN_WINE_STATE/desktop-user.pid")
    read -r pid <"$FLIRAN_WINE_STATE/desktop-user.pid"
    for ((i = 0; i < 600; i++)); do
        { read -r line <"$ready"; } 2>/dev/null
        [ "$line" = ready ] && return 0
        fliran_wine__pid_running "$pid" || break
        sleep 0.05
    done
    echo "wine-prefix: the desktop user did not get ready; the session runs without it" >>"$log"
    return 0
}

fliran_wine_acquire() {
    local pid="$1" start
    fliran_wine__procstat "$pid" || { echo "wine-prefix: no process $pid" >&2; return 1; }
    start="$FLIRAN_WINE__START"
    fliran_wine_lock || return 1
    if ! fliran_wine__prune || ! fliran_wine__running; then
        if ! fliran_wine__start; then
            fliran_wine_unlock
            return 1
        fi
    fi
    echo "$start" >"$FLIRAN_WINE_STATE/users/$pid"
    read -r DISPLAY <"$FLIRAN_WINE_STATE/display"
    export DISPLAY
    fliran_wine_unlock
}

fliran_wine_release() {
    local pid="$1"
    fliran_wine_lock || return 1
    rm -f "$FLIRAN_WINE_STATE/users/$pid"
    if ! fliran_wine__prune; then
        fliran_wine__stop
    fi
    fliran_wine_unlock
}

# Stops the instance if none of its users is alive any more.
fliran_wine_reap() {
    fliran_wine_lock || return 1
    if ! fliran_wine__prune; then
        fliran_wine__stop
    fi
    fliran_wine_unlock
}

fliran_wine_shutdown() {
    fliran_wine_lock || return 1
    fliran_wine__stop
    fliran_wine_unlock
}

# COMn inside the prefix opens DEV (for example a pty made by socat). The
# link is made under a temporary name and renamed over comN, so a program
# opening the port never finds it missing.
fliran_wine_map_com() {
    local dev="$2" link="$WINEPREFIX/dosdevices/com$1"
    mkdir -p "$WINEPREFIX/dosdevices" || return 1
    ln -sfn "$dev" "$link.new.$$" && mv -fT "$link.new.$$" "$link" && return 0
    rm -f "$link.new.$$"
    return 1
}

fliran_wine_com_target() {
    readlink "$WINEPREFIX/dosdevices/com$1" 2>/dev/null
    return 0
}

fliran_wine_unmap_com() {
    rm -f "$WINEPREFIX/dosdevices/com$1"
}

# Wine's process teardown now and then aborts a program that has already done
# its work: ld.so prints this assertion ("Inconsistency detected by ld.so:
# dl-fini.c: ...: _dl_fini: Assertion ... failed!") and the program ends with a
# failing exit code.
FLIRAN_WINE_TEARDOWN_ABORT="_dl_fini: Assertion \`ns != LM_ID_BASE || i == nloaded' failed"

# Runs wine ARGS (a program and its arguments), its output going through as
# it comes, and returns its exit code. Only when the program failed and its
# standard error shows the teardown abort above, it runs once more; the rerun
# is recorded (date, program, arguments, both exit codes) in the file
# FLIRAN_WINE_RERUN_LOG, else in reruns.log of the state folder, so that a
# summary can list it. Any other failure counts as it is.
fliran_wine_run() {
    local err="$FLIRAN_WINE_STATE/stderr.$$" rc rc2 tee_pid i fd
    fliran_wine_program_command
    exec {fd}> >(exec 9>&-; exec tee "$err" >&2)
    tee_pid=$!
    "${FLIRAN_WINE_PROGRAM[@]}" "$@" 2>&"$fd" {fd}>&- 9>&-
    rc=$?
    exec {fd}>&-
    # tee ends when every copy of the pipe is closed; a Windows process the
    # program left running may keep one, so the wait is bounded.
    for ((i = 0; i < 100; i++)); do
        fliran_wine__pid_running "$tee_pid" || break
        sleep 0.02
    done
    if fliran_wine_teardown_aborted "$rc" "$err"; then
        rm -f "$err"
        echo "wine-prefix: Wine's process teardown aborted (exit code $rc); running ${1##*/} once more" >&2
        "${FLIRAN_WINE_PROGRAM[@]}" "$@" 9>&-
        rc2=$?
        fliran_wine_record_rerun "$rc" "$rc2" "$@"
        return "$rc2"
    fi
    rm -f "$err"
    return "$rc"
}

# Sets the array FLIRAN_WINE_PROGRAM: the wine command line, with the variables of
# FLIRAN_WINE_PROGRAM_ENV in front (through env) when there are any.
fliran_wine_program_command() {
    FLIRAN_WINE_PROGRAM=("${FLIRAN_WINE[@]}")
    if [ ${#FLIRAN_WINE_PROGRAM_ENV[@]} -gt 0 ]; then
        FLIRAN_WINE_PROGRAM=(env "${FLIRAN_WINE_PROGRAM_ENV[@]}" "${FLIRAN_WINE[@]}")
    fi
}

# True when a program that ended with exit code RC failed only by Wine's
# teardown abort, judged by ERRFILE, a copy of its standard error.
fliran_wine_teardown_aborted() {
    [ "$1" -ne 0 ] && grep -qF "$FLIRAN_WINE_TEARDOWN_ABORT" "$2" 2>/dev/null
}

# fliran_wine_record_rerun RC RC2 PROGRAM ARGS...: notes a rerun (date,
# program, arguments, both exit codes) for the summary of tools/test.sh.
fliran_wine_record_rerun() {
    local rc="$1" rc2="$2"
    shift 2
    printf '%(%F %T)T %s %s (exit code %s, then %s)\n' -1 "${1##*/}" "${*:2}" "$rc" "$rc2" \
        >>"${FLIRAN_WINE_RERUN_LOG:-$FLIRAN_WINE_STATE/reruns.log}"
}

# Lists (pid and command line, one per line) every process that was started
# with this prefix in its environment (Xvfb, wineserver, Wine's processes,
# helpers of the scripts) and still runs, except the caller and its
# ancestors. Reading other users' processes needs root; unreadable ones are
# skipped.
fliran_wine_processes() {
    local skip=" " pid="$BASHPID" ppid line dir
    while [ -n "$pid" ] && [ "$pid" != 0 ]; do
        skip+="$pid "
        ppid=""
        while read -r line; do
            case "$line" in PPid:*) ppid="${line#PPid:}"; ppid="${ppid//[[:space:]]/}"; break ;; esac
        done <"/proc/$pid/status" 2>/dev/null
        pid="$ppid"
    done
    for dir in /proc/[0-9]*; do
        pid="${dir#/proc/}"
        case "$skip" in *" $pid "*) continue ;; esac
        fliran_wine__pid_running "$pid" || continue
        grep -qzxF "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null || continue
        line="$(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null)"
        echo "$pid ${line:-?}"
    done
}
