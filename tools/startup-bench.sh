#!/usr/bin/env bash
# Start-up benchmark: the time from process start to the panel's form being shown, beside a
# minimal Win32 program that shows one window, both under Wine in the same run. A probe program
# inside Wine starts each in turn (rounds of both, so both see the same load), waits for its
# window to be visible, closes it and checks the exit code; the medians give the ratio.
# A second floor also loads the common controls, which the panel cannot do without; the ratio
# against it shows the panel's own share of the start-up.
#
#   tools/startup-bench.sh [rounds]     (default 15)
# Prints "startup/floor ratio: X.XX". Builds the mingw preset's programs if needed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"
rounds="${1:-15}"

build="${FLIRAN_BUILD_DIR:-build/mingw}"   # another configured MinGW build folder may be given
[ "$build" = build/mingw ] && cmake --preset mingw >/dev/null
cmake --build "$build" --target fliran-panel startup_floor startup_floor_cc startup_probe -j2 >/dev/null

# Windows paths of the programs through the prefix's Z: drive (the whole Unix tree).
panel="Z:${ROOT//\//\\}\\${build//\//\\}\\fliran-panel.exe"
floor="Z:${ROOT//\//\\}\\${build//\//\\}\\startup_floor.exe"
floor_cc="Z:${ROOT//\//\\}\\${build//\//\\}\\startup_floor_cc.exe"

out="$(tools/wine-run.sh "$ROOT/$build/startup_probe.exe" "$rounds" "$panel" obj_Form "$floor" StartupFloor "$floor_cc" StartupFloor)"
echo "$out"
panel_ms="$(echo "$out" | awk '$1 == "median_ms" && $2 == 0 { print $3 }')"
floor_ms="$(echo "$out" | awk '$1 == "median_ms" && $2 == 1 { print $3 }')"
floor_cc_ms="$(echo "$out" | awk '$1 == "median_ms" && $2 == 2 { print $3 }')"
echo "panel: ${panel_ms} ms, floor: ${floor_ms} ms, floor with common controls: ${floor_cc_ms} ms (medians of $rounds starts each)"
awk -v p="$panel_ms" -v f="$floor_cc_ms" 'BEGIN { printf "startup/floor-with-common-controls ratio: %.2f\n", p / f }'
awk -v p="$panel_ms" -v f="$floor_ms" 'BEGIN { printf "startup/floor ratio: %.2f\n", p / f }'
