#!/usr/bin/env bash
# Runs the fuzz targets (tests/fuzz) one after the other, each for SECONDS (default 60) or for N
# runs (both given: whichever comes first), starting from its committed corpus
# (tests/fuzz/corpus/<target>/). --max-len caps the input length (libFuzzer's default: 4096).
#
#   tools/fuzz.sh [SECONDS] [--runs N] [--max-len BYTES] [TARGET...]
#
# Installs clang and libFuzzer with apt-get when they are missing (needs root once, like
# tools/test.sh), builds the fuzz preset (build/fuzz) and runs one target at a time. Inputs that
# reach new code go to build/fuzz/corpus/<target>/, never into the committed corpus. An input
# that makes a target fail is kept in build/fuzz/findings/ and named with the command that
# replays it; copy it into the target's committed corpus once the fault is fixed. The last line
# counts the runs and the findings; the exit code is non-zero when a target found something.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT="$PWD"

usage() {
    sed -n '2,13s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
}

seconds=""
runs=""
limit=()
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        -h | --help) usage; exit 0 ;;
        --runs)
            [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: --runs needs a number of runs" >&2; exit 2; }
            runs="$2"
            shift ;;
        --max-len)
            [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: --max-len needs a number of bytes" >&2; exit 2; }
            limit+=(-max_len="$2")
            shift ;;
        [0-9]*)
            [[ "$1" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: \"$1\" is not a number of seconds" >&2; exit 2; }
            seconds="$1" ;;
        -*) echo "fuzz.sh: unknown option \"$1\"; see tools/fuzz.sh --help" >&2; exit 2 ;;
        *)
            [ -d "$ROOT/tests/fuzz/corpus/$1" ] ||
                { echo "fuzz.sh: no fuzz target \"$1\" (the targets: $(cd "$ROOT/tests/fuzz/corpus" && echo *))" >&2; exit 2; }
            targets+=("$1") ;;
    esac
    shift
done
# Every target has a committed corpus folder of its name.
if [ ${#targets[@]} -eq 0 ]; then
    for dir in "$ROOT"/tests/fuzz/corpus/*/; do
        targets+=("$(basename "$dir")")
    done
fi

# shellcheck source=tools/packages.sh
source "$ROOT/tools/packages.sh"
if ! fliran_install_packages "${FLIRAN_FUZZ_PACKAGES[@]}"; then
    echo "fuzz.sh: installing clang and libFuzzer failed; run it once with sudo (sudo tools/fuzz.sh)" >&2
    exit 1
fi
fliran_as_invoking_user "$ROOT" "$ROOT/tools/fuzz.sh" "$@"

BUILD="$ROOT/build/fuzz"
mkdir -p "$BUILD"
log="$BUILD/fuzz-build.log"
echo "== fuzz: build (log: ${log#"$ROOT"/})"
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: the build FAILED (log: ${log#"$ROOT"/})"
    exit 1
fi

what=""
if [ -n "$runs" ]; then
    limit+=(-runs="$runs")
    what="$runs runs"
fi
if [ -n "$seconds" ] || [ -z "$runs" ]; then
    limit+=(-max_total_time="${seconds:=60}")
    what="${what:+$what or }$seconds s"
fi

total=0
findings=0
mkdir -p "$BUILD/findings"
for target in "${targets[@]}"; do
    program="$BUILD/fuzz_$target"
    corpus="$BUILD/corpus/$target"
    log="$BUILD/fuzz_$target.log"
    mkdir -p "$corpus"
    start=$SECONDS
    # One target at a time: the fuzzer itself runs one process (no -jobs/-workers).
    "$program" "${limit[@]}" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$BUILD/findings/$target-" \
        "$corpus" "$ROOT/tests/fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    count="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    total=$((total + ${count:-0}))
    if [ "$status" -eq 0 ]; then
        echo "fuzz_$target: ${count:-?} runs in $((SECONDS - start)) s, corpus $(find "$corpus" -type f | wc -l) inputs"
    else
        findings=$((findings + 1))
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*property failed|.*runtime error)' "$log" | head -n 5
        input="$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)"
        echo "fuzz_$target: FAILED after ${count:-?} runs (log: ${log#"$ROOT"/})"
        [ -n "$input" ] && echo "   replay: ${program#"$ROOT"/} ${input#"$ROOT"/}"
    fi
done

echo "${#targets[@]} fuzz targets, $what each: $total runs, $findings with a finding"
[ "$findings" -eq 0 ]
