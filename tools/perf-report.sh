#!/usr/bin/env bash
# The performance report: every benchmark of the project in one go, every ratio in one table.
#
#   tools/perf-report.sh [--rounds N] [--startup-rounds N] [--serial-rounds N]
#
#   hop/floor        build/bench/dispatch_bench (the bench preset): one dispatcher hop over one
#                    plain indirect call
#   write/floor      tools/serial-bench.sh: the serial port element's write over WriteFile alone
#   click, slide, private, startup /fair-floor
#                    tools/panel-bench.sh (with tools/startup-bench.sh): the panel under Wine
#                    over the fair floor, its own window written by hand in plain Win32; the
#                    /floor lines are over a one-window program, for information
#   exe size         fliran-panel.exe without debug information beside the picture it carries
#
# Builds what it needs from nothing (the presets' folders below build/; the packages of
# tools/packages.sh are installed when missing and the script runs as root). Every benchmark's
# whole output goes to build/perf-report/*.log, the table to build/perf-report/report.md (as
# docs/performance.md shows it) and to the terminal. Nothing is asserted: the goals stand beside
# the figures. Exits 1 when a benchmark could not measure. Takes about 15 minutes on a quiet
# machine with the default rounds (panel 30, start-up 15, serial 15).
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"
ME="perf-report.sh"

die() {
    echo "$ME: $*" >&2
    exit 1
}

rounds=30
startup_rounds=15
serial_rounds=15
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) [ $# -ge 2 ] || die "--rounds needs a number"; rounds="$2"; shift 2 ;;
        --startup-rounds) [ $# -ge 2 ] || die "--startup-rounds needs a number"; startup_rounds="$2"; shift 2 ;;
        --serial-rounds) [ $# -ge 2 ] || die "--serial-rounds needs a number"; serial_rounds="$2"; shift 2 ;;
        -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
        *) die "unknown argument $1 (see --help)" ;;
    esac
done
for n in "$rounds" "$startup_rounds" "$serial_rounds"; do
    [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "$n is not a positive number of rounds"
done

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
fliran_install_packages || die "packages are missing (run it once as root, or install them: ${FLIRAN_PACKAGES[*]})"

out="$ROOT/build/perf-report"
mkdir -p "$out" || die "cannot create $out"
started="$(date -u '+%Y-%m-%d %H:%M UTC')"

# run NAME COMMAND...: the command's output into NAME.log, shown as it comes; fails the report
# when the command fails.
run() {
    local name="$1"
    shift
    echo "== $name: $*"
    "$@" 2>&1 | tee "$out/$name.log"
    local rc="${PIPESTATUS[0]}"
    [ "$rc" = 0 ] || die "$name failed (exit code $rc; its output is in ${out#"$ROOT"/}/$name.log)"
}
# figure NAME LABEL: the value of the line "LABEL: X.XX" in NAME.log.
figure() {
    awk -v label="$2:" 'index($0, label) == 1 { split(substr($0, length(label) + 1), f, " "); print f[1]; exit }' "$out/$1.log"
}

run dispatch bash -c 'cmake --preset bench >/dev/null && cmake --build --preset bench --target dispatch_bench >/dev/null &&
    build/bench/dispatch_bench'
FLIRAN_BENCH_ROUNDS="$serial_rounds" run serial tools/serial-bench.sh
run panel tools/panel-bench.sh --rounds "$rounds" --startup-rounds "$startup_rounds"

exe_line="$(grep -E '^exe: ' "$out/panel.log" | head -n 1)"
exe_line="${exe_line%%   \[*}"
memory_line="$(grep -E '^working set after start-up' "$out/panel.log" | head -n 1)"
private_line="$(grep -E '^private bytes: panel' "$out/panel.log" | head -n 1)"

# row FIGURE LOG LABEL GOAL
row() {
    local value
    value="$(figure "$2" "$3")"
    [ -n "$value" ] || die "no \"$3\" line in ${out#"$ROOT"/}/$2.log"
    printf '| %s | %s | %s |\n' "$1" "$value" "$4"
}
{
    echo "Measured $started on $(nproc) cores ($(uname -m), $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)), load average before: $(cut -d' ' -f1-3 /proc/loadavg); Wine $(wine --version 2>/dev/null | sed 's/^wine-//'); commit $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)."
    echo
    echo "| figure | ratio | goal |"
    echo "| --- | --- | --- |"
    row "hop/floor (one dispatcher hop / one indirect call)" dispatch "hop/floor ratio" "at most 1.5"
    row "write/floor (port element write / WriteFile)" serial "write/floor ratio" "at most 1.2"
    row "click/fair-floor (click on the glow button to the first byte)" panel "click/fair-floor ratio" "at most 1.05"
    row "slide/fair-floor (slider key to the first byte)" panel "slide/fair-floor ratio" "at most 1.05"
    row "startup/fair-floor (process start to the form shown and painted)" panel "startup/fair-floor ratio" "at most 1.05"
    row "private/fair-floor (private bytes after start-up)" panel "private/fair-floor ratio" "at most 1.05"
    row "release/fair-floor (the click's release alone)" panel "release/fair-floor ratio" "information"
    row "working-set/fair-floor (working set after start-up)" panel "working-set/fair-floor ratio" "information"
    row "click/floor (one-window floor)" panel "click/floor ratio" "information"
    row "slide/floor (one-window floor)" panel "slide/floor ratio" "information"
    row "startup/floor (one-window floor)" panel "startup/floor ratio" "information"
    row "private/floor (one-window floor)" panel "private/floor ratio" "information"
    echo
    echo "${memory_line:-working set: not measured}"
    echo
    echo "${private_line:-private bytes by mapping: not measured}"
    echo
    echo "${exe_line:-exe: not measured} (goal: at most 1 MiB more than the picture)"
    echo
    echo "Reproduce: \`tools/perf-report.sh --rounds $rounds --startup-rounds $startup_rounds --serial-rounds $serial_rounds\`"
} >"$out/report.md" || exit 1
echo "== performance report"
cat "$out/report.md"
