#!/usr/bin/env bash
# Start-up benchmark: the time from process start to the panel's form shown and painted (it and
# every window inside it have no part left to paint), beside the fair floor (the same window by
# hand in plain Win32, tools/bench/fair_floor.cpp), all under Wine in the same run. A probe
# program inside Wine starts each in turn (rounds of all, the order rotating, so all see the same
# load), waits for its window to be shown and painted, closes it and checks the exit code; the
# medians give the ratios. For information two one-window programs run beside them: the least a
# program does to show one window, and the same with the common controls loaded, which the panel
# cannot do without.
#
#   tools/startup-bench.sh [rounds]     (default 15)
# Prints "startup/fair-floor ratio: X.XX" (goal at most 1.05), then "startup/floor ratio: X.XX"
# and "startup/floor-with-common-controls ratio: X.XX" against the one-window programs. Builds
# the mingw preset's programs if needed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT="$PWD"
rounds="${1:-15}"

build="${FLIRAN_BUILD_DIR:-build/mingw}"   # another configured MinGW build folder may be given
[ "$build" = build/mingw ] && cmake --preset mingw >/dev/null
cmake --build "$build" --target fliran-panel fair_floor startup_floor startup_floor_cc startup_probe -j2 >/dev/null

# Windows paths of the programs through the prefix's Z: drive (the whole Unix tree).
exe() { echo "Z:${ROOT//\//\\}\\${build//\//\\}\\$1"; }

out="$(tools/wine-run.sh "$ROOT/$build/startup_probe.exe" "$rounds" "$(exe fliran-panel.exe)" obj_Form \
    "$(exe fair_floor.exe)" Form "$(exe startup_floor.exe)" StartupFloor "$(exe startup_floor_cc.exe)" StartupFloor)"
echo "$out"
median() { awk -v p="$1" '$1 == "median_ms" && $2 == p { print $3 }' <<<"$out"; }
panel_ms="$(median 0)" fair_ms="$(median 1)" floor_ms="$(median 2)" floor_cc_ms="$(median 3)"
echo "panel: ${panel_ms} ms, fair floor: ${fair_ms} ms, one-window floor: ${floor_ms} ms, with common controls: ${floor_cc_ms} ms (medians of $rounds starts each, to shown and painted)"
awk -v p="$panel_ms" -v f="$fair_ms" 'BEGIN { printf "startup/fair-floor ratio: %.2f\n", p / f }'
awk -v p="$panel_ms" -v f="$floor_ms" 'BEGIN { printf "startup/floor ratio: %.2f\n", p / f }'
awk -v p="$panel_ms" -v f="$floor_cc_ms" 'BEGIN { printf "startup/floor-with-common-controls ratio: %.2f\n", p / f }'
