# shellcheck shell=bash
# Preparation of a real serial device before the panel uses it under Wine.
# Source this file from bash; it only defines a function.
#
#   fliran_serial_prepare DEV   raw mode, no software flow control, no echo
#
# The serial port element sets only what its line-setting text names (speed,
# parity, data and stop bits, hardware flow control); under Wine every other
# setting comes from the Linux tty as it was. A tty starts in the terminal's
# default mode: XON/XOFF flow control swallows the bytes 0x11 and 0x13 of a
# reply and stops every write after a received 0x13, canonical mode holds
# bytes back until a line ends, CR becomes LF, LF goes out as CR LF, and echo
# sends the board's own bytes back to it. Raw mode without software flow
# control and without echo passes every byte value through unchanged.
fliran_serial_prepare() {
    local dev="$1"
    if [ ! -c "$dev" ]; then
        echo "$dev is not a character device" >&2
        return 1
    fi
    stty -F "$dev" raw -echo -echoe -echok -echonl -iexten -ixon -ixoff -ixany
}
