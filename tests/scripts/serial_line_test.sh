#!/usr/bin/env bash
# A serial device prepared by the run script passes all 256 byte values, both ways.
#
# socat makes two pseudo-terminals and copies bytes between their master sides.
# One slave plays the real device (what tools/run-panel.sh --device maps as a
# COM port); it starts in the tty's default mode and gets fliran_serial_prepare
# from tools/serial-line.sh, the function the run script calls. The other slave
# plays the board at the far end and is put into raw mode here, by the test.
# Every byte value 0..255 goes from the board to the device and from the device
# to the board and must arrive unchanged and complete.
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=tools/serial-line.sh
source "$here/../../tools/serial-line.sh"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

work="$(mktemp -d)"
socat_pid=""
cleanup() {
    exec 3>&- 4>&-
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null && wait "$socat_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

socat pty,link="$work/device" pty,link="$work/board" 2>"$work/socat.log" &
socat_pid=$!
for ((i = 0; i < 200; i++)); do
    [ -e "$work/device" ] && [ -e "$work/board" ] && break
    kill -0 "$socat_pid" 2>/dev/null || break
    sleep 0.025
done
[ -e "$work/device" ] && [ -e "$work/board" ] || fail "socat made no ptys: $(cat "$work/socat.log")"
# Held open for the whole test: a pty whose slave side is closed by everyone
# hangs up, and socat ends.
exec 3<>"$work/device" 4<>"$work/board"

# Without the tty's default mode at the start the test would prove nothing.
settings="$(stty -F "$work/device" -a)" || fail "stty -a on the device failed"
for flag in ixon icanon icrnl opost echo isig; do
    [[ " ${settings//;/ } " == *[[:space:]]"$flag"[[:space:]]* ]] ||
        fail "the pty did not start in the default mode ($flag is off): $settings"
done

stty -F "$work/board" raw -echo || fail "stty on the board side failed"
fliran_serial_prepare "$work/device" || fail "fliran_serial_prepare failed"

all="$work/all-bytes"
for ((b = 0; b < 256; b++)); do
    printf "\\$(printf '%03o' "$b")"
done >"$all"
[ "$(wc -c <"$all")" -eq 256 ] || fail "the test data is not 256 bytes"

# pass FROM TO NAME: writes the 256 bytes into FROM and reads 256 bytes from TO.
# Bytes the kernel holds back or a stopped output end in the 10 s bound.
pass() {
    local from="$1" to="$2" name="$3" writer
    timeout 10 head -c 256 <"$to" >"$work/$name" &
    local reader=$!
    timeout 10 cat "$all" >"$from" &
    writer=$!
    wait "$reader"
    wait "$writer" || echo "the write into $from did not finish" >&2
    if ! cmp "$all" "$work/$name"; then
        echo "sent:" >&2
        od -An -tx1 "$all" >&2
        echo "received:" >&2
        od -An -tx1 "$work/$name" >&2
        fail "$name: the bytes did not arrive unchanged"
    fi
}

pass "$work/board" "$work/device" board-to-device
pass "$work/device" "$work/board" device-to-board
echo "all 256 byte values crossed the prepared device both ways"
