// Runs the real board_sim program and talks to it through the pty like a
// program using the serial port would: plain open/write/read on the slave.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bird.hpp"
#include "unique_fd.hpp"

extern char** environ;

namespace board_sim {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous bound for anything that should happen "at once".
constexpr auto patience = 3s;

long long monotonic_usec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000LL + ts.tv_nsec / 1000;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds limit = patience) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

int ms_left(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return static_cast<int>(std::max<long long>(0, left));
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "board_sim_test.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The board_sim program running with its stdout on a pipe.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int pipe_fds[2];
        if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        out_.reset(pipe_fds[0]);
        UniqueFd write_end(pipe_fds[1]);

        std::vector<std::string> argv_strings{BOARD_SIM_EXE};
        argv_strings.insert(argv_strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : argv_strings) argv.push_back(s.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
        const int err = ::posix_spawn(&pid_, BOARD_SIM_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (err != 0) throw std::runtime_error("posix_spawn failed");
    }

    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Next stdout line, or nothing if none came in time.
    std::optional<std::string> next_line(std::chrono::milliseconds limit = patience) {
        const auto end = Clock::now() + limit;
        for (;;) {
            if (const auto lf = buffer_.find('\n'); lf != std::string::npos) {
                std::string line = buffer_.substr(0, lf);
                buffer_.erase(0, lf + 1);
                seen_.push_back(line);
                return line;
            }
            pollfd p{out_.get(), POLLIN, 0};
            if (::poll(&p, 1, ms_left(end)) <= 0) return std::nullopt;
            char chunk[512];
            const ssize_t n = ::read(out_.get(), chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads stdout lines until `wanted` appears; false if it does not in time.
    bool wait_for_line(const std::string& wanted) {
        const auto end = Clock::now() + patience;
        while (auto line = next_line(std::chrono::milliseconds(ms_left(end)))) {
            if (*line == wanted) return true;
        }
        return false;
    }

    // Every stdout line read so far.
    const std::vector<std::string>& seen() const { return seen_; }

    // Waits for the program to end; its exit status, or -1 if it did not exit normally in time.
    int wait_exit() {
        int status = 0;
        const bool exited = wait_until([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
        if (!exited) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Sends SIGTERM and waits for the end.
    int terminate(int signal_number = SIGTERM) {
        ::kill(pid_, signal_number);
        return wait_exit();
    }

    bool running() const { return pid_ > 0 && ::kill(pid_, 0) == 0; }

private:
    pid_t pid_ = -1;
    UniqueFd out_;
    std::string buffer_;
    std::vector<std::string> seen_;
};

// Opens the port the way a serial program does: the path, no controlling tty.
UniqueFd open_port(const fs::path& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    EXPECT_TRUE(fd) << "cannot open " << path << ": " << std::strerror(errno);
    return fd;
}

void write_port(const UniqueFd& fd, std::string_view bytes) {
    ASSERT_EQ(::write(fd.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads from the port until `count` bytes arrived or the time is up.
std::string read_port(const UniqueFd& fd, std::size_t count, std::chrono::milliseconds limit = patience) {
    std::string got;
    const auto end = Clock::now() + limit;
    while (got.size() < count) {
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, ms_left(end)) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(fd.get(), chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string first_line(const fs::path& path) {
    const std::string text = read_file(path);
    return text.substr(0, text.find('\n'));
}

struct LogRecord {
    long long usec = 0;
    std::string kind;     // rx, tx or ev
    std::string payload;  // decoded bytes for rx/tx, text for ev
};

std::vector<LogRecord> read_log(const fs::path& path) {
    std::vector<LogRecord> records;
    std::istringstream in(read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        LogRecord r;
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        r.usec = std::stoll(line.substr(0, first));
        r.kind = line.substr(first + 1, second - first - 1);
        const std::string rest = second == std::string::npos ? "" : line.substr(second + 1);
        if (r.kind == "ev") {
            r.payload = rest;
        } else {
            for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
                r.payload += static_cast<char>(std::stoi(rest.substr(i, 2), nullptr, 16));
            }
        }
        records.push_back(r);
    }
    return records;
}

std::string all_bytes(const std::vector<LogRecord>& records, const std::string& kind) {
    std::string bytes;
    for (const auto& r : records) {
        if (r.kind == kind) bytes += r.payload;
    }
    return bytes;
}

// Starts board_sim with --print-path and returns the port path it printed.
std::string start_printing(SimProcess& sim) {
    const auto path = sim.next_line();
    EXPECT_TRUE(path.has_value()) << "board_sim printed no path";
    return path.value_or("");
}

// A temporary folder laid out like a Wine prefix, as far as the link needs.
struct FakePrefix {
    TempDir dir;
    fs::path dosdevices = dir.path() / "dosdevices";
    fs::path com5 = dosdevices / "com5";
    fs::path ready = dir.path() / "ready";
    FakePrefix() { fs::create_directory(dosdevices); }
};

bool is_link_to(const fs::path& link, const std::string& target) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec).string() == target;
}

// ---- talking through the printed path ------------------------------------------

TEST(EndToEnd, PlayIsAnsweredOnThePrintedPathAndEveryByteIsLogged) {
    TempDir dir;
    const fs::path log = dir.path() / "bytes.log";
    const long long started = monotonic_usec();
    SimProcess sim({"--print-path", "--log", log.string()});
    const std::string path = start_printing(sim);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    UniqueFd port = open_port(path);
    write_port(port, "30\n601\n");
    write_port(port, "603\n");
    const std::string expected = "played 1 frame\r\n";
    EXPECT_EQ(read_port(port, expected.size()), expected);  // unchanged bytes: raw mode, no CR/LF mangling
    EXPECT_TRUE(sim.wait_for_line("replayed 1 frame, frame number 0"));
    EXPECT_EQ(sim.seen(), (std::vector<std::string>{path, "eyes 30", "stored frame 1", "replayed 1 frame, frame number 0"}));

    const long long finished = monotonic_usec();
    ASSERT_EQ(sim.terminate(), 0);

    const std::vector<LogRecord> records = read_log(log);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().kind, "ev");
    EXPECT_EQ(records.front().payload, "appeared " + path);
    EXPECT_EQ(all_bytes(records, "rx"), "30\n601\n603\n");
    EXPECT_EQ(all_bytes(records, "tx"), expected);
    long long previous = started;
    for (const auto& r : records) {
        EXPECT_GE(r.usec, previous) << "timestamps must be monotonic and taken on CLOCK_MONOTONIC";
        EXPECT_LE(r.usec, finished) << r.kind << " " << r.payload;
        previous = r.usec;
    }
    // The answer is logged after the request that caused it.
    const auto last_rx = std::find_if(records.rbegin(), records.rend(), [](auto& r) { return r.kind == "rx"; });
    const auto tx = std::find_if(records.begin(), records.end(), [](auto& r) { return r.kind == "tx"; });
    ASSERT_NE(tx, records.end());
    EXPECT_LE(last_rx->usec, tx->usec);
}

TEST(EndToEnd, MalformedLinesAreReportedAndTheBoardCarriesOn) {
    SimProcess sim({"--print-path"});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "hello\n" + std::string(1000, 'x') + "\n600\r\n");
    EXPECT_TRUE(sim.wait_for_line("glow on"));
    ASSERT_EQ(sim.seen().size(), 4u);  // the path, two ignored lines, the glow
    EXPECT_EQ(sim.seen()[1], "ignored: \"hello\" (not a number)");
    EXPECT_EQ(sim.seen()[2].rfind("ignored: overlong line (1000 bytes", 0), 0u) << sim.seen()[2];
    EXPECT_TRUE(sim.running());
}

TEST(EndToEnd, PortSurvivesBeingClosedAndReopenedManyTimes) {
    SimProcess sim({"--print-path"});
    const std::string path = start_printing(sim);
    for (int i = 0; i < 20; ++i) {
        UniqueFd port = open_port(path);
        write_port(port, "600\n");
        ASSERT_TRUE(sim.wait_for_line(i % 2 == 0 ? "glow on" : "glow off")) << "round " << i;
    }
    UniqueFd port = open_port(path);
    write_port(port, "603\n");
    EXPECT_EQ(read_port(port, 17), "played 0 frames\r\n");
}

// ---- answers to 603 ----------------------------------------------------------------

TEST(EndToEnd, FixedHexReplyIsSentByteForByte) {
    SimProcess sim({"--print-path", "--reply-603-hex", "6f6b000d0a"});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "603\n");
    EXPECT_EQ(read_port(port, 5), std::string("ok\0\r\n", 5));
}

TEST(EndToEnd, SilentPlaySendsNothing) {
    SimProcess sim({"--print-path", "--silent-603"});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "603\n95\n");
    ASSERT_TRUE(sim.wait_for_line("eyes 95"));  // 603 has been handled by now
    EXPECT_EQ(read_port(port, 1, 100ms), "");
}

TEST(EndToEnd, FloodFollowsTheAnswerToPlay) {
    SimProcess sim({"--print-path", "--flood", "3000"});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "603\n");
    const std::string expected = play_reply(0) + flood_pattern(3000);
    EXPECT_EQ(read_port(port, expected.size()), expected);
}

TEST(EndToEnd, FloodOnOpenArrivesWithoutAskingForIt) {
    SimProcess sim({"--print-path", "--flood", "200", "--flood-on", "open"});
    UniqueFd port = open_port(start_printing(sim));
    EXPECT_EQ(read_port(port, 200), flood_pattern(200));
}

// ---- a slow or stuck board ------------------------------------------------------------

// Index of the first record of this kind and payload, or -1.
long find_record(const std::vector<LogRecord>& records, const std::string& kind, const std::string& payload) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].kind == kind && records[i].payload == payload) return static_cast<long>(i);
    }
    return -1;
}

bool logged(const fs::path& log, const std::string& kind, const std::string& payload) {
    return find_record(read_log(log), kind, payload) >= 0;
}

TEST(EndToEnd, ReplyDelayHoldsTheAnswerBack) {
    TempDir dir;
    const fs::path log = dir.path() / "bytes.log";
    SimProcess sim({"--print-path", "--reply-delay-ms", "300", "--log", log.string()});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "603\n");
    EXPECT_EQ(read_port(port, 17), "played 0 frames\r\n");
    ASSERT_EQ(sim.terminate(), 0);

    const std::vector<LogRecord> records = read_log(log);
    const long rx = find_record(records, "rx", "603\n");
    const long tx = find_record(records, "tx", "played 0 frames\r\n");
    ASSERT_GE(rx, 0);
    ASSERT_GE(tx, 0);
    EXPECT_GE(records[tx].usec - records[rx].usec, 300000);
}

TEST(EndToEnd, ByteGapSendsTheAnswerByteByByte) {
    TempDir dir;
    const fs::path log = dir.path() / "bytes.log";
    SimProcess sim({"--print-path", "--byte-gap-ms", "40", "--reply-603", "abcd", "--log", log.string()});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "603\n603\n");
    EXPECT_EQ(read_port(port, 8), "abcdabcd");
    ASSERT_EQ(sim.terminate(), 0);

    std::vector<LogRecord> sent;
    for (const LogRecord& r : read_log(log)) {
        if (r.kind == "tx") sent.push_back(r);
    }
    ASSERT_EQ(sent.size(), 8u);  // one write per byte, also across the two answers
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].payload, std::string(1, "abcd"[i % 4])) << i;
        if (i > 0) {
            EXPECT_GE(sent[i].usec - sent[i - 1].usec, 40000) << i;
        }
    }
}

TEST(EndToEnd, StoppedBoardLeavesWrittenBytesInThePtyUntilTold) {
    TempDir dir;
    const fs::path log = dir.path() / "bytes.log";
    const fs::path resume = dir.path() / "resume";
    SimProcess sim({"--print-path", "--stop-reading-on", "stop", "--resume-file", resume.string(), "--log",
                    log.string()});
    UniqueFd port = open_port(start_printing(sim));

    // Bytes written while the board does not read wait in the pty and are read after the resume.
    write_port(port, "stop\n");
    ASSERT_TRUE(wait_until([&] { return logged(log, "ev", "paused"); }));
    write_port(port, "95\n");
    std::ofstream(resume).put('\n');
    ASSERT_TRUE(sim.wait_for_line("eyes 95"));
    std::vector<LogRecord> records = read_log(log);
    const long resumed = find_record(records, "ev", "resumed");
    ASSERT_GE(resumed, 0);
    EXPECT_LT(resumed, find_record(records, "rx", "95\n"));
    EXPECT_TRUE(wait_until([&] { return !fs::exists(resume); }));  // the board takes the file away

    // Each time the line comes.
    write_port(port, "stop\n");
    ASSERT_TRUE(wait_until([&] { return read_log(log).back().payload == "paused"; }));
    write_port(port, "600\n");
    std::ofstream(resume).put('\n');
    ASSERT_TRUE(sim.wait_for_line("glow on"));
    records = read_log(log);
    const long second = find_record(records, "rx", "600\n");
    ASSERT_GE(second, 0);
    EXPECT_EQ(records[static_cast<std::size_t>(second) - 1].payload, "resumed");
    EXPECT_EQ(std::count(sim.seen().begin(), sim.seen().end(), "resumed reading"), 2);
}

TEST(EndToEnd, StoppedBoardReadsAgainAfterAWhileAndHandlesWhatCameWithTheLine) {
    TempDir dir;
    const fs::path log = dir.path() / "bytes.log";
    SimProcess sim({"--print-path", "--stop-reading-on", "stop", "--stop-reading-ms", "300", "--log", log.string()});
    UniqueFd port = open_port(start_printing(sim));
    write_port(port, "stop\n95\n");  // 95 may come with the stop line in one read
    ASSERT_TRUE(sim.wait_for_line("eyes 95"));
    ASSERT_EQ(sim.terminate(), 0);
    const std::vector<LogRecord> records = read_log(log);
    const long paused = find_record(records, "ev", "paused");
    const long resumed = find_record(records, "ev", "resumed");
    ASSERT_GE(paused, 0);
    ASSERT_GT(resumed, paused);
    EXPECT_GE(records[resumed].usec - records[paused].usec, 300000);
}

// ---- the COM link in a Wine prefix ------------------------------------------------

TEST(EndToEnd, LinkIsMadeReplacesAnOldOneAndGoesAwayOnTerminate) {
    FakePrefix prefix;
    fs::create_symlink("/dev/null", prefix.com5);
    SimProcess sim({"--wine-prefix", prefix.dir.path().string(), "--com", "5", "--ready-file", prefix.ready.string()});

    ASSERT_TRUE(wait_until([&] { return fs::exists(prefix.ready); }));
    const std::string path = first_line(prefix.ready);
    EXPECT_TRUE(is_link_to(prefix.com5, path)) << path;

    UniqueFd port = open_port(prefix.com5);
    write_port(port, "603\n");
    EXPECT_EQ(read_port(port, 17), "played 0 frames\r\n");

    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(prefix.com5)));
    EXPECT_FALSE(fs::exists(prefix.ready));
    // Nothing else is left in dosdevices (no temporary link names).
    EXPECT_TRUE(fs::is_empty(prefix.dosdevices));
}

TEST(EndToEnd, InterruptAndHangupSignalsAlsoEndCleanly) {
    for (int signal_number : {SIGINT, SIGHUP}) {
        FakePrefix prefix;
        SimProcess sim({"--wine-prefix", prefix.dir.path().string(), "--com", "5", "--ready-file", prefix.ready.string()});
        ASSERT_TRUE(wait_until([&] { return fs::exists(prefix.ready); }));
        EXPECT_EQ(sim.terminate(signal_number), 0) << strsignal(signal_number);
        EXPECT_TRUE(fs::is_empty(prefix.dosdevices)) << strsignal(signal_number);
    }
}

TEST(EndToEnd, LinkIsPutBackWhenSomethingElseChangesIt) {
    FakePrefix prefix;
    SimProcess sim({"--wine-prefix", prefix.dir.path().string(), "--com", "5", "--ready-file", prefix.ready.string()});
    ASSERT_TRUE(wait_until([&] { return fs::exists(prefix.ready); }));
    const std::string path = first_line(prefix.ready);

    fs::remove(prefix.com5);
    EXPECT_TRUE(wait_until([&] { return is_link_to(prefix.com5, path); }));

    // Another link put in its place in one step, as Wine does when it rewrites the links at start
    // (a remove and a new link would race with the board putting its own back in between).
    const fs::path other = prefix.dosdevices / "com5.other";
    fs::create_symlink("/dev/null", other);
    fs::rename(other, prefix.com5);
    EXPECT_TRUE(wait_until([&] { return is_link_to(prefix.com5, path); }));
}

TEST(EndToEnd, MissingDosdevicesFolderIsAnErrorNotAHang) {
    TempDir dir;  // no dosdevices folder inside: the prefix was not created
    SimProcess sim({"--wine-prefix", dir.path().string(), "--com", "5"});
    EXPECT_EQ(sim.wait_exit(), 1);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// ---- a vanishing device ------------------------------------------------------------

bool hung_up(const UniqueFd& port) {
    pollfd p{port.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(patience).count())) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR)) return true;
    char c;
    return ::read(port.get(), &c, 1) <= 0;  // EOF or EIO
}

TEST(EndToEnd, DropAfterHangsUpAndRemovesLinkAndReadyFile) {
    FakePrefix prefix;
    SimProcess sim({"--wine-prefix", prefix.dir.path().string(), "--com", "5", "--ready-file", prefix.ready.string(),
                    "--drop-after", "7"});
    ASSERT_TRUE(wait_until([&] { return fs::exists(prefix.ready); }));
    UniqueFd port = open_port(prefix.com5);

    write_port(port, "95\n100\n");  // exactly 7 bytes
    EXPECT_TRUE(sim.wait_for_line("eyes 100"));
    EXPECT_TRUE(hung_up(port));
    EXPECT_TRUE(wait_until([&] { return !fs::exists(fs::symlink_status(prefix.com5)); }));
    EXPECT_TRUE(wait_until([&] { return !fs::exists(prefix.ready); }));
    EXPECT_TRUE(sim.running());  // the board is gone, the program stays until told to stop
    EXPECT_EQ(sim.terminate(), 0);
}

TEST(EndToEnd, DroppedDeviceReappearsUnderANewPathAndWorks) {
    FakePrefix prefix;
    const fs::path log = prefix.dir.path() / "bytes.log";
    SimProcess sim({"--wine-prefix", prefix.dir.path().string(), "--com", "5", "--ready-file", prefix.ready.string(),
                    "--drop-after", "7", "--reappear-after-ms", "100", "--log", log.string()});
    ASSERT_TRUE(wait_until([&] { return fs::exists(prefix.ready); }));
    const std::string first_path = first_line(prefix.ready);
    UniqueFd old_port = open_port(prefix.com5);

    // Bytes past the drop point are never read by the board.
    write_port(old_port, "95\n100\n200\n");
    EXPECT_TRUE(hung_up(old_port));

    // Picking the port again once the device is back works.
    std::string second_path;
    ASSERT_TRUE(wait_until([&] {
        if (!fs::exists(prefix.ready)) return false;
        second_path = first_line(prefix.ready);
        return !second_path.empty() && second_path != first_path && is_link_to(prefix.com5, second_path);
    }));
    UniqueFd new_port = open_port(prefix.com5);
    write_port(new_port, "603\n");
    EXPECT_EQ(read_port(new_port, 17), "played 0 frames\r\n");

    ASSERT_TRUE(sim.wait_for_line("replayed 0 frames, frame number 0"));
    EXPECT_EQ(sim.seen(), (std::vector<std::string>{"eyes 95", "eyes 100", "replayed 0 frames, frame number 0"}));

    ASSERT_EQ(sim.terminate(), 0);
    const std::vector<LogRecord> records = read_log(log);
    std::vector<std::string> events;
    for (const auto& r : records) {
        if (r.kind == "ev" && r.payload != "opened" && r.payload != "closed") events.push_back(r.payload);
    }
    EXPECT_EQ(events, (std::vector<std::string>{"appeared " + first_path, "dropped", "appeared " + second_path}));
    EXPECT_EQ(all_bytes(records, "rx"), "95\n100\n603\n");
}

}  // namespace
}  // namespace board_sim
