#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix and passes its
# exit code through. CTest uses this as CMAKE_CROSSCOMPILING_EMULATOR. A program
# that failed only because Wine's process teardown aborted (an ld.so assertion
# in _dl_fini on its standard error) is run once more; the rerun is recorded in
# $FLIRAN_WINE_RERUN_LOG (tools/test.sh lists it in its summary).
#
#   tools/wine-run.sh [--env NAME=VALUE]... PROGRAM.exe [ARGS...]
#                                       --env: a variable for the program (and what it
#                                       starts) only, not for the Wine session's own
#                                       processes (the winelib build preloads its
#                                       sanitizer runtime so)
#   tools/wine-run.sh --session-begin   keep prefix, display and wineserver up
#                                       for as long as the calling process
#                                       (ctest) lives
#   tools/wine-run.sh --session-end     leave that session again
#   tools/wine-run.sh --cleanup         stop Xvfb and wineserver of the prefix
#                                       if no process uses them any more
#   tools/wine-run.sh --shutdown        stop them even if still in use
#
# Environment:
#   FLIRAN_WINEPREFIX   prefix folder (default: build/wine-prefix in the repo)
#   FLIRAN_WINEDEBUG    WINEDEBUG for the program (default: -all)
#   FLIRAN_WINE_RERUN_LOG  where reruns are recorded (default: reruns.log in
#                       the prefix's state folder)
#   DISPLAY             used when set and no instance runs yet; otherwise a
#                       private Xvfb is started and stopped again afterwards
set -u

# shellcheck source=tools/wine-prefix.sh
case "${BASH_SOURCE[0]}" in
    */*) source "${BASH_SOURCE[0]%/*}/wine-prefix.sh" ;;
    *) source ./wine-prefix.sh ;;
esac
fliran_wine_env || exit 1

while [ "${1:-}" = --env ] && [ $# -ge 2 ]; do
    FLIRAN_WINE_PROGRAM_ENV+=("$2")
    shift 2
done

case "${1:-}" in
    "")
        echo "usage: $0 [--env NAME=VALUE]... PROGRAM.exe [ARGS...] | --session-begin | --session-end | --cleanup | --shutdown" >&2
        exit 2
        ;;
    --session-begin)
        # The session belongs to the parent: ctest runs this as a fixture
        # setup test, so the instance lives until ctest ends or the cleanup
        # fixture runs --session-end.
        fliran_wine_acquire "$PPID" || exit 1
        echo "Wine session on DISPLAY=$DISPLAY, prefix $WINEPREFIX"
        exit 0
        ;;
    --session-end)
        fliran_wine_release "$PPID"
        exit $?
        ;;
    --cleanup)
        fliran_wine_reap
        exit $?
        ;;
    --shutdown)
        fliran_wine_shutdown
        exit $?
        ;;
esac

fliran_wine_acquire "$$" || exit 1
trap 'fliran_wine_release "$$"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

# Once more only after Wine's teardown abort (see fliran_wine_run).
fliran_wine_run "$@"
exit $?
