#include "pty.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace board_sim {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

Pty Pty::open() {
    Pty pty;
    pty.master_.reset(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!pty.master_) fail("posix_openpt");
    if (::fcntl(pty.master(), F_SETFD, FD_CLOEXEC) != 0) fail("fcntl(FD_CLOEXEC)");
    const int flags = ::fcntl(pty.master(), F_GETFL);
    if (flags < 0 || ::fcntl(pty.master(), F_SETFL, flags | O_NONBLOCK) != 0) fail("fcntl(O_NONBLOCK)");
    if (::grantpt(pty.master()) != 0) fail("grantpt");
    if (::unlockpt(pty.master()) != 0) fail("unlockpt");

    std::array<char, 128> name{};
    if (const int err = ::ptsname_r(pty.master(), name.data(), name.size()); err != 0) {
        errno = err;
        fail("ptsname_r");
    }
    pty.slave_path_ = name.data();

    pty.reopen_keeper();

    termios tio{};
    if (::tcgetattr(pty.keeper_.get(), &tio) != 0) fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(pty.keeper_.get(), TCSANOW, &tio) != 0) fail("tcsetattr");
    return pty;
}

void Pty::reopen_keeper() {
    // O_NOCTTY: the port must never become this process's controlling
    // terminal, or a hangup would send it SIGHUP.
    UniqueFd fd(::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) fail("open pty slave");
    keeper_ = std::move(fd);
}

}  // namespace board_sim
