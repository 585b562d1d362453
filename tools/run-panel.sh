#!/usr/bin/env bash
# Runs the panel under Wine, building what is needed first.
#
#   tools/run-panel.sh                        the virtual bird board answers on COM1
#   tools/run-panel.sh --device /dev/ttyUSB0  a real board: COM1 opens that device
#   tools/run-panel.sh --com 3 ...            use COM3 instead of COM1
#
# Pick the matching line ("COM 1", ...) in the panel's port box. Without a real board the
# virtual board prints what the bird does (eyes, neck, mouth, glow, frames) in this terminal.
# Missing packages are installed with apt-get (needs root the first time).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"

device=""
com=1
while [ $# -gt 0 ]; do
    case "$1" in
        --device) device="${2:?--device needs a path}"; shift 2 ;;
        --com) com="${2:?--com needs a number}"; shift 2 ;;
        -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run-panel.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
case "$com" in [1-9]) ;; *) echo "run-panel.sh: --com takes 1 to 9 (the panel's port lines)" >&2; exit 2 ;; esac

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages

echo "== building the panel"
cmake --preset mingw >"$ROOT/build-run-panel.log" 2>&1 || { cat "$ROOT/build-run-panel.log"; exit 1; }
cmake --build --preset mingw --target fliran-panel -j2 >>"$ROOT/build-run-panel.log" 2>&1 ||
    { tail -n 40 "$ROOT/build-run-panel.log"; exit 1; }
rm -f "$ROOT/build-run-panel.log"

# shellcheck source=tools/wine-prefix.sh
source "$ROOT/tools/wine-prefix.sh"
fliran_wine_env
fliran_wine_prefix_ensure

board_pid=""
stop_board() {
    if [ -n "$board_pid" ]; then
        kill "$board_pid" 2>/dev/null || true
        wait "$board_pid" 2>/dev/null || true
    fi
}
trap stop_board EXIT

if [ -n "$device" ]; then
    [ -e "$device" ] || { echo "run-panel.sh: $device does not exist" >&2; exit 1; }
    fliran_wine_map_com "$com" "$device"
    echo "== COM$com is $device: pick \"COM $com\" in the panel"
else
    echo "== building the virtual bird board"
    cmake -S "$ROOT/tools/board_sim" -B "$ROOT/build/board_sim" -DBOARD_SIM_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$ROOT/build/board_sim" --target board_sim -j2 >/dev/null
    ready="$ROOT/build/board_sim/ready.com$com"
    rm -f "$ready"
    "$ROOT/build/board_sim/board_sim" --wine-prefix "$WINEPREFIX" --com "$com" --ready-file "$ready" &
    board_pid=$!
    for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
    [ -e "$ready" ] || { echo "run-panel.sh: the virtual board did not start" >&2; exit 1; }
    echo "== the virtual bird board is on COM$com: pick \"COM $com\" in the panel"
fi

if [ -z "${DISPLAY:-}" ]; then
    echo "== no DISPLAY: the panel runs on a private virtual screen you cannot see" >&2
fi
"$ROOT/tools/wine-run.sh" "$ROOT/build/mingw/fliran-panel.exe"
