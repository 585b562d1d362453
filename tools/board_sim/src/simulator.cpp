#include "simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "bird.hpp"
#include "com_link.hpp"
#include "pty.hpp"
#include "unique_fd.hpp"

namespace board_sim {

namespace {

using Clock = std::chrono::steady_clock;

// Answers waiting for the other side to read are capped so a flood towards a
// program that never reads cannot grow without bound.
constexpr std::size_t max_pending_output = 128u * 1024u * 1024u;

void say(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void warn(std::string_view line) {
    std::fprintf(stderr, "board_sim: %.*s\n", static_cast<int>(line.size()), line.data());
}

// Microseconds on CLOCK_MONOTONIC: the clock test programs read themselves.
long long monotonic_usec() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000LL + ts.tv_nsec / 1000;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The --log file: one line per record, each written with a single write().
class ByteLog {
public:
    explicit ByteLog(const std::optional<std::filesystem::path>& path) {
        if (!path) return;
        fd_.reset(::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
        if (!fd_) throw std::system_error(errno, std::generic_category(), "open log " + path->string());
    }

    // `usec`: for received bytes, just after the read; for sent bytes, just
    // before the write, so the other side can never see them earlier.
    void bytes(long long usec, std::string_view direction, std::string_view data) {
        if (!fd_) return;
        static constexpr char hex[] = "0123456789abcdef";
        std::string record = std::to_string(usec) + " " + std::string(direction) + " ";
        for (char c : data) {
            const auto u = static_cast<unsigned char>(c);
            record += hex[u >> 4];
            record += hex[u & 0x0f];
        }
        record += '\n';
        write_all(fd_.get(), record);
    }

    void event(std::string_view text) {
        if (!fd_) return;
        write_all(fd_.get(), std::to_string(monotonic_usec()) + " ev " + std::string(text) + "\n");
    }

private:
    UniqueFd fd_;
};

// The --ready-file: present exactly while the port is in place.
class ReadyFile {
public:
    explicit ReadyFile(std::optional<std::filesystem::path> path) : path_(std::move(path)) {}
    ~ReadyFile() { remove(); }
    ReadyFile(const ReadyFile&) = delete;
    ReadyFile& operator=(const ReadyFile&) = delete;

    void write(const std::string& pty_path) {
        if (!path_) return;
        // Write under a temporary name and rename, so a waiting script never
        // reads a half-written file.
        const std::filesystem::path temp = path_->string() + ".tmp." + std::to_string(::getpid());
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd || !write_all(fd.get(), pty_path + "\n") || ::rename(temp.c_str(), path_->c_str()) != 0) {
            warn("could not write the ready file " + path_->string() + ": " + std::strerror(errno));
            ::unlink(temp.c_str());
            return;
        }
        written_ = true;
    }

    void remove() {
        if (path_ && written_) ::unlink(path_->c_str());
        written_ = false;
    }

private:
    std::optional<std::filesystem::path> path_;
    bool written_ = false;
};

// One appearance of the board: the pty, its COM link and a watch for programs
// opening it. Members are destroyed bottom-up, so the link goes before the pty.
struct Device {
    Pty pty;
    std::optional<ComLink> link;
    UniqueFd open_watch;         // inotify on the slave node: IN_OPEN / IN_CLOSE
    std::size_t received = 0;    // bytes read from this pty

    explicit Device(Pty p) : pty(std::move(p)) {}
};

class Simulator {
public:
    explicit Simulator(const Options& options) : options_(options), log_(options.log_file), ready_(options.ready_file) {
        board_.settings = options.board;
    }

    int run();

private:
    bool appear();
    void drop();
    void read_port();
    void handle(Board::Output out);
    void pause_reading(std::string unread);
    void resume_reading();
    bool resume_due() const;
    void send(std::string bytes);
    void release_due_output();
    void flush_output();
    void read_open_watch();
    int poll_timeout_ms() const;

    // Answers held back by --reply-delay-ms or paced by --byte-gap-ms: each
    // piece goes to pending_ at its time.
    struct Scheduled {
        Clock::time_point due;
        std::string bytes;
    };

    const Options& options_;
    ByteLog log_;
    ReadyFile ready_;
    Board board_;
    std::optional<Device> device_;
    std::string pending_;                 // bytes to write as soon as the pty takes them
    std::deque<Scheduled> scheduled_;     // in the order of their times
    Clock::time_point next_free_{};       // earliest time for the next scheduled piece
    bool paused_ = false;                 // --stop-reading-on: not reading the port now
    std::string unread_;                  // bytes read with the line that paused the reading
    std::optional<Clock::time_point> resume_at_;
    std::optional<Clock::time_point> reappear_at_;
};

UniqueFd make_signal_fd() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    // Blocked signals wait in the signalfd and are handled in the loop.
    if (::sigprocmask(SIG_BLOCK, &set, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    }
    UniqueFd fd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd) throw std::system_error(errno, std::generic_category(), "signalfd");
    return fd;
}

bool Simulator::appear() {
    try {
        device_.emplace(Pty::open());
        const std::string& path = device_->pty.slave_path();
        if (options_.wine_prefix) device_->link.emplace(*options_.wine_prefix, options_.com, path);

        device_->open_watch.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (device_->open_watch &&
            ::inotify_add_watch(device_->open_watch.get(), path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            device_->open_watch.reset();
        }
        if (!device_->open_watch && options_.flood_on_open) warn("cannot watch the pty for opens; no flood on open");
    } catch (const std::exception& e) {
        device_.reset();
        warn(std::string("cannot set up the port: ") + e.what());
        return false;
    }

    const std::string& path = device_->pty.slave_path();
    log_.event("appeared " + path);
    if (device_->link) {
        warn("port " + path + " linked as " + device_->link->path().string());
    } else {
        warn("port " + path + " ready");
    }
    if (options_.print_path) say(path);
    ready_.write(path);
    return true;
}

void Simulator::drop() {
    warn("dropping the port after " + std::to_string(device_->received) + " bytes");
    log_.event("dropped");
    ready_.remove();
    device_.reset();  // removes the link, then closes the pty: a hangup for its users
    pending_.clear();
    scheduled_.clear();
    paused_ = false;
    unread_.clear();
    resume_at_.reset();
    board_.splitter.reset();
    if (options_.reappear_after_ms) {
        reappear_at_ = Clock::now() + std::chrono::milliseconds(*options_.reappear_after_ms);
    }
}

void Simulator::send(std::string bytes) {
    if (bytes.empty()) return;
    if (pending_.size() + bytes.size() > max_pending_output) {
        warn("the other side is not reading; dropped " + std::to_string(bytes.size()) + " bytes of output");
        return;
    }
    if (options_.reply_delay_ms == 0 && options_.byte_gap_ms == 0) {
        pending_ += bytes;
        flush_output();
        return;
    }
    // Later answers never overtake earlier ones, and paced bytes keep their
    // gap also across two answers.
    const auto gap = std::chrono::milliseconds(options_.byte_gap_ms);
    Clock::time_point due = std::max(Clock::now() + std::chrono::milliseconds(options_.reply_delay_ms), next_free_);
    if (gap.count() == 0) {
        scheduled_.push_back({due, std::move(bytes)});
        next_free_ = due;
    } else {
        for (char c : bytes) {
            scheduled_.push_back({due, std::string(1, c)});
            next_free_ = due + gap;
            due = next_free_;
        }
    }
    release_due_output();
}

void Simulator::release_due_output() {
    const auto gap = std::chrono::milliseconds(options_.byte_gap_ms);
    while (!scheduled_.empty() && scheduled_.front().due <= Clock::now()) {
        pending_ += scheduled_.front().bytes;
        scheduled_.pop_front();
        if (gap.count() > 0) {
            // A paced byte gets a write of its own, and the next one waits a
            // full gap after it, also when this one went out late.
            flush_output();
            const auto next = Clock::now() + gap;
            next_free_ = std::max(next_free_, next);
            if (!scheduled_.empty()) scheduled_.front().due = std::max(scheduled_.front().due, next);
        }
    }
    flush_output();
}

void Simulator::flush_output() {
    while (device_ && !pending_.empty()) {
        const long long usec = monotonic_usec();
        const ssize_t n = ::write(device_->pty.master(), pending_.data(), pending_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // full (EAGAIN) or not writable now: retry on POLLOUT
        log_.bytes(usec, "tx", std::string_view(pending_).substr(0, static_cast<std::size_t>(n)));
        pending_.erase(0, static_cast<std::size_t>(n));
    }
}

void Simulator::read_port() {
    std::array<char, 4096> buffer{};
    std::size_t want = buffer.size();
    if (options_.drop_after_bytes) {
        // Read no further than the drop point: later bytes vanish with the pty.
        want = std::min(want, *options_.drop_after_bytes - device_->received);
    }
    const ssize_t n = ::read(device_->pty.master(), buffer.data(), want);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        // EIO/EOF means no slave is open any more; the keeper should prevent
        // that, so open it again and carry on.
        try {
            device_->pty.reopen_keeper();
        } catch (const std::exception& e) {
            warn(std::string("port hung up and cannot be reopened: ") + e.what());
            drop();
        }
        return;
    }

    const std::string_view data(buffer.data(), static_cast<std::size_t>(n));
    device_->received += data.size();
    log_.bytes(monotonic_usec(), "rx", data);

    handle(board_.receive(data));

    if (device_ && options_.drop_after_bytes && device_->received >= *options_.drop_after_bytes) drop();
}

void Simulator::handle(Board::Output out) {
    for (const auto& message : out.messages) say(message);
    send(std::move(out.reply));
    if (out.stop_reading) pause_reading(std::move(out.unread));
}

void Simulator::pause_reading(std::string unread) {
    paused_ = true;
    unread_ = std::move(unread);
    // Only a resume file made after the pause counts.
    if (options_.resume_file) ::unlink(options_.resume_file->c_str());
    if (options_.stop_reading_ms) resume_at_ = Clock::now() + std::chrono::milliseconds(*options_.stop_reading_ms);
    log_.event("paused");
}

bool Simulator::resume_due() const {
    if (resume_at_ && Clock::now() >= *resume_at_) return true;
    return options_.resume_file && ::access(options_.resume_file->c_str(), F_OK) == 0;
}

void Simulator::resume_reading() {
    paused_ = false;
    resume_at_.reset();
    if (options_.resume_file) ::unlink(options_.resume_file->c_str());
    log_.event("resumed");
    say("resumed reading");
    // The bytes that came with the pausing line are handled now, as if they
    // had just been read (they may pause the reading again).
    handle(board_.receive(std::exchange(unread_, std::string())));
}

void Simulator::read_open_watch() {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(device_->open_watch.get(), buffer.data(), buffer.size());
        if (n <= 0) return;
        for (ssize_t pos = 0; pos < n;) {
            inotify_event event{};
            std::copy_n(buffer.data() + pos, sizeof event, reinterpret_cast<char*>(&event));
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            if (event.mask & IN_OPEN) {
                log_.event("opened");
                if (options_.flood_on_open && options_.board.flood_bytes > 0) {
                    send(flood_pattern(options_.board.flood_bytes));
                }
            }
            if (event.mask & IN_CLOSE) log_.event("closed");
            if (event.mask & IN_IGNORED) {
                device_->open_watch.reset();
                return;
            }
        }
    }
}

int Simulator::poll_timeout_ms() const {
    std::optional<Clock::time_point> wake = reappear_at_;
    auto earliest = [&](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
    if (!scheduled_.empty()) earliest(scheduled_.front().due);
    if (paused_ && resume_at_) earliest(*resume_at_);
    // The resume file is looked for every 10 ms while the reading is paused.
    if (paused_ && options_.resume_file) earliest(Clock::now() + std::chrono::milliseconds(10));
    if (!wake) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wake - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

int Simulator::run() {
    ::signal(SIGPIPE, SIG_IGN);
    UniqueFd signals = make_signal_fd();
    if (!appear()) return 1;

    for (;;) {
        enum Slot { slot_signal, slot_master, slot_link, slot_open, slot_count };
        std::array<pollfd, slot_count> fds{};
        for (auto& p : fds) p.fd = -1;
        fds[slot_signal] = {signals.get(), POLLIN, 0};
        if (device_) {
            const int events = (paused_ ? 0 : POLLIN) | (pending_.empty() ? 0 : POLLOUT);
            fds[slot_master] = {device_->pty.master(), static_cast<short>(events), 0};
            if (device_->link && device_->link->watch_fd() >= 0) fds[slot_link] = {device_->link->watch_fd(), POLLIN, 0};
            if (device_->open_watch) fds[slot_open] = {device_->open_watch.get(), POLLIN, 0};
        }

        const int timeout_ms = poll_timeout_ms();

        const int ready = ::poll(fds.data(), fds.size(), timeout_ms);
        if (ready < 0) {
            if (errno == EINTR) continue;
            warn(std::string("poll failed: ") + std::strerror(errno));
            return 1;
        }

        if (fds[slot_signal].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signals.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                warn(std::string("stopping on ") + ::strsignal(static_cast<int>(info.ssi_signo)));
            }
            return 0;
        }

        // Opens are looked at before data so a flood on open goes out first.
        if (device_ && (fds[slot_open].revents & POLLIN)) read_open_watch();
        if (device_ && !paused_ && (fds[slot_master].revents & (POLLIN | POLLHUP | POLLERR))) read_port();
        if (device_ && (fds[slot_master].revents & POLLOUT)) flush_output();
        if (device_ && (fds[slot_link].revents & POLLIN)) {
            if (auto message = device_->link->on_watch_event()) warn(*message);
        }

        if (device_) release_due_output();
        if (device_ && paused_ && resume_due()) resume_reading();

        if (!device_ && reappear_at_ && Clock::now() >= *reappear_at_) {
            reappear_at_.reset();
            if (!appear()) {
                reappear_at_ = Clock::now() + std::chrono::milliseconds(*options_.reappear_after_ms);
            }
        }
    }
}

}  // namespace

int run_simulator(const Options& options) {
    try {
        Simulator simulator(options);
        return simulator.run();
    } catch (const std::exception& e) {
        warn(e.what());
        return 1;
    }
}

}  // namespace board_sim
