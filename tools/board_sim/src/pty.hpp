// A pseudo-terminal that plays the board's end of the serial cable.
#pragma once

#include <string>

#include "unique_fd.hpp"

namespace board_sim {

class Pty {
public:
    // Opens a new master/slave pair with the slave in raw mode (no echo, no
    // CR/LF translation, 8-bit clean). Throws std::system_error on failure.
    static Pty open();

    // Non-blocking master side: the board reads commands and writes answers here.
    int master() const { return master_.get(); }

    // Path of the slave side (e.g. /dev/pts/3): what a program opens as its port.
    const std::string& slave_path() const { return slave_path_; }

    // The pty stays open as long as this keeper fd is open, even while no
    // program has the port open; without it, the master sees EIO/POLLHUP each
    // time the last user closes the slave. Re-opens the keeper if needed.
    void reopen_keeper();

private:
    Pty() = default;

    UniqueFd master_;
    UniqueFd keeper_;
    std::string slave_path_;
};

}  // namespace board_sim
