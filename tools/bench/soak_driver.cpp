// A long run of the real panel under Wine with real input, for tools/soak.sh: drives the panel
// with the XTest extension (slider drags and keys, the four buttons, port picks with the keys of
// the port box), checks every line the virtual board receives against the lines the actions must
// write, and samples the panel's memory, handles and objects along the way.
//
//   soak_driver --window XID --board-log FILE --board-line N --free-lines "N N ..."
//               --actions N [--seed N] [--sample-every N] [--baseline N] [--judge-working-set]
//               [--panel-pid PID] [--samples FILE] -- PROBE COMMAND...
//
// XID is the panel's X window (its client area), FILE the --log of tools/board_sim, which plays
// the board on the port of line N of the port box; the free lines are lines whose port has no
// device at all. PROBE COMMAND starts working_set_probe.exe --resources under Wine: it samples
// once at start and once per line written to it.
//
// The driver knows what every action must write while the port of the board is picked:
//   - a button: its line (600 glow, 601 store, 602 forget, 603 replay);
//   - a key on a focused slider whose position it tracks (Home, End, the arrows, Page Up and
//     Page Down; a key that leaves the position where it is writes nothing);
//   - a drag: any number of lines, each in the slider's range and none going back against the
//     drag's direction; the first key after every drag is Home after a drag towards the end and
//     End after a drag towards the start, so its line cannot belong to the drag, and it makes
//     the position known again;
// and that nothing reaches the board while "ПОРТ НЕ ОПРЕДЕЛЁН" or a line without a device is
// picked. Each line is checked as it arrives, in order; the driver waits for the lines of every
// action (a line that does not come within 20 s is lost) and, at the end, for the board to stay
// quiet, so that anything late counts as extra. The board's "opened" and "closed" events are
// counted against the picks that enter and leave its line.
//
// The mix: the default 26 800 actions are 20 000 slider moves, 2 000 presses of each of glow,
// store and forget, 300 replays and 500 port picks; --actions N scales every count (at least
// one of each). The first actions visit every kind once. Samples: one before the first action,
// one every --sample-every actions and one at the end, each taken with the board's port picked
// and its lines in; the baseline is the first sample at or after --baseline actions, and each
// count is judged by its level at the end: the least of the last tenth of the samples (at least
// of the last three), which a leak raises and a passing paint does not. Prints
// the counts, the figures and one verdict line per check; exits 0 when all checks pass, 1 when
// one fails, 2 when the run could not be made.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "soak_driver: %s\n", what.c_str());
  std::exit(2);
}

// --- The panel's controls (client coordinates of the form) ----------------------------------

struct Point {
  int x, y;
};

// A slider: its range, and where the middle of its thumb is for a position (measured on the
// panel under Wine: the channel runs 157 pixels wide for the horizontal sliders, 65 high for the
// vertical one).
struct Slider {
  const char* name;
  int min, max;
  bool vertical;
  int fixed;      // y of a horizontal slider's thumb, x of a vertical one's
  int origin;     // the thumb's middle at min
  int length;     // pixels from min to max
  int page;       // Page Up / Page Down step: a fifth of the range
  int position;   // tracked
  bool known = true;

  Point Thumb(int p) const {
    const int along = origin + static_cast<int>(std::lround(double(p - min) * length / (max - min)));
    return vertical ? Point{fixed, along} : Point{along, fixed};
  }
  Point Along(Point from, int pixels) const {
    return vertical ? Point{from.x, from.y + pixels} : Point{from.x + pixels, from.y};
  }
};

std::array<Slider, 3> gSliders = {{
    {"eyes", 0, 180, false, 41, 217, 157, 36, 90},
    {"neck", 181, 360, false, 96, 217, 157, 35, 270},
    {"mouth", 361, 540, true, 231, 167, 65, 35, 450},
}};

constexpr Point kGlow{352, 192};
constexpr Point kStore{77, 280};
constexpr Point kForget{217, 280};
constexpr Point kReplay{357, 275};
constexpr Point kPortBox{60, 230};  // the port box's text field

// --- What the board received --------------------------------------------------------------------

// Reads the board's log as it grows: the bytes it received, split into lines, and its events.
class BoardLog {
 public:
  explicit BoardLog(const std::string& path) : path_(path) {}
  ~BoardLog() {
    if (fd_ >= 0) close(fd_);
  }

  // Reads what was added; answers the complete lines received since the last call.
  std::vector<std::string> Poll() {
    std::vector<std::string> lines;
    if (fd_ < 0 && (fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0) return lines;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd_, chunk, sizeof chunk)) > 0) pending_.append(chunk, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
      Record(pending_.substr(start, end - start), lines);
    }
    pending_.erase(0, start);
    return lines;
  }
  const std::string& Partial() const { return partial_; }

  long opened = 0, closed = 0, bytes = 0;

 private:
  // "<usec> rx <hex>" or "<usec> ev <event>"
  void Record(const std::string& record, std::vector<std::string>& lines) {
    std::istringstream fields(record);
    std::string usec, kind, data;
    fields >> usec >> kind >> data;
    if (kind == "ev") {
      if (data == "opened") ++opened;
      if (data == "closed") ++closed;
      return;
    }
    if (kind != "rx") return;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
      const char byte = static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16));
      ++bytes;
      if (byte == '\n') {
        lines.push_back(partial_);
        partial_.clear();
      } else {
        partial_ += byte;
      }
    }
  }

  std::string path_;
  int fd_ = -1;
  std::string pending_;  // the log's last record until its line feed
  std::string partial_;  // received bytes after the last line feed
};

// --- The expected lines -------------------------------------------------------------------------

struct Expect {
  bool drag = false;
  std::string line;        // a fixed line
  int slider = 0, dir = 0;  // a drag: its slider and direction (+1 towards max)
  int last = 0;            // the drag's latest position (its start until a line came)
  long lines = 0;
  std::string action;      // for the messages
};

class Checker {
 public:
  void Add(Expect e) {
    if (e.drag) e.last = gSliders[e.slider].position;
    pending_.push_back(std::move(e));
  }

  void Take(const std::string& line) {
    ++checked;
    for (;;) {
      if (pending_.empty()) {
        Error("extra line \"" + line + "\" (no action wrote it)");
        ++extra;
        return;
      }
      Expect& front = pending_.front();
      if (front.drag) {
        if (Continues(front, line)) {
          front.last = std::stoi(line);
          ++front.lines;
          ++dragLines;
          return;
        }
        FinishDrag();
        continue;
      }
      pending_.pop_front();
      if (front.line == line) {
        ++fixedLines;
        return;
      }
      Error("wrong line \"" + line + "\" where " + front.action + " must write \"" + front.line + "\"");
      ++wrong;
      return;
    }
  }

  // True when every action's lines are in (a drag is over only once a line after it came).
  bool Settled() const { return pending_.empty() || (pending_.size() == 1 && pending_.front().drag); }
  bool Empty() const { return pending_.empty(); }

  // The lines still missing count as lost; a drag that wrote nothing lost its lines too.
  void Lose(const std::string& why) {
    while (!pending_.empty()) {
      if (pending_.front().drag) {
        if (pending_.front().lines > 0) {
          FinishDrag();
          continue;
        }
        Error("lost: " + pending_.front().action + " wrote no line (" + why + ")");
      } else {
        Error("lost: the line \"" + pending_.front().line + "\" of " + pending_.front().action + " (" + why + ")");
      }
      ++lost;
      pending_.pop_front();
    }
  }

  void Error(const std::string& what) {
    if (errors.size() < 10) errors.push_back(what);
  }

  long checked = 0, fixedLines = 0, dragLines = 0, drags = 0, lost = 0, extra = 0, wrong = 0;
  std::vector<std::string> errors;

 private:
  static bool Continues(const Expect& d, const std::string& line) {
    if (line.empty() || line.size() > 3 || line.find_first_not_of("0123456789") != std::string::npos) return false;
    if (line.size() > 1 && line[0] == '0') return false;
    const int p = std::stoi(line);
    const Slider& s = gSliders[d.slider];
    return p >= s.min && p <= s.max && (p - d.last) * d.dir >= 0;
  }
  void FinishDrag() {
    Expect& d = pending_.front();
    if (d.lines == 0) {
      Error("lost: " + d.action + " wrote no line");
      ++lost;
    }
    ++drags;
    pending_.pop_front();
  }

  std::deque<Expect> pending_;
};

// --- Input ----------------------------------------------------------------------------------------

class Input {
 public:
  Input(Display* display, Window window) : display_(display), window_(window) {}

  void Focus() {
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
  }
  void MoveTo(Point p) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), p.x, p.y, &x, &y, &child);
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
  }
  void Button(bool down) {
    XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
    XSync(display_, False);
  }
  void Click(Point p) {
    MoveTo(p);
    Pause(5);
    Button(true);
    Button(false);
  }
  void Key(KeySym key) {
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
  }
  // Asks the window to close as a window manager's close button does.
  void RequestClose() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window_, False, NoEventMask, &event);
    XFlush(display_);
  }

 private:
  Display* display_;
  Window window_;
};

// --- The resource probe -----------------------------------------------------------------------

struct Sample {
  long actions = 0;
  long long working = 0, peak = 0, priv = 0, rss = -1;
  std::string handles = "-", user = "-", gdi = "-", windows = "-";
};

class Probe {
 public:
  explicit Probe(const std::vector<std::string>& command) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) Die("pipe failed");
    pid_ = fork();
    if (pid_ < 0) Die("fork failed");
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[0]), close(in[1]), close(out[0]), close(out[1]);
      std::vector<char*> argv;
      for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Probe() {
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    if (pid_ > 0) {
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) Pause(50);
      if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, &status, 0);
      }
    }
  }

  // The next sample (the probe took the first by itself); nothing when it did not answer.
  std::optional<Sample> Next(bool request) {
    if (request && write(to_, "\n", 1) != 1) return std::nullopt;
    std::optional<Sample> sample;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
      const std::size_t eol = buffer_.find('\n');
      if (eol != std::string::npos) {
        const std::string line = buffer_.substr(0, eol);
        buffer_.erase(0, eol + 1);
        if (line == "end" || line == "end\r") return sample;
        std::istringstream fields(line);
        std::string kind, name, pid;
        Sample s;
        if (fields >> kind >> name >> pid >> s.working >> s.peak >> s.priv >> s.handles >> s.user >> s.gdi >>
                s.windows &&
            kind == "resources") {
          if (!s.windows.empty() && s.windows.back() == '\r') s.windows.pop_back();
          sample = s;
        }
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return std::nullopt;
      pollfd p{from_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[512];
      const ssize_t n = read(from_, chunk, sizeof chunk);
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string buffer_;
};

long long VmRss(long pid) {
  if (pid <= 0) return -1;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long long kb;
  while (status >> key) {
    if (key == "VmRSS:" && status >> kb) return kb * 1024;
    status.ignore(1 << 20, '\n');
  }
  return -1;
}

// --- The run --------------------------------------------------------------------------------------

enum Kind { SliderKey, SliderDrag, Glow, Store, Forget, Replay, Pick, KindCount };
const char* const kKindNames[KindCount] = {"slider keys", "slider drags", "glow", "store", "forget", "replay", "port picks"};

struct Options {
  unsigned long window = 0;
  std::string boardLog, samplesFile;
  int boardLine = 1;
  std::vector<int> freeLines;
  long actions = 26800;
  unsigned seed = 16;
  long sampleEvery = 250;
  long baseline = 1000;
  bool judgeWorkingSet = false;
  long panelPid = 0;
  std::vector<std::string> probe;
};

class Run {
 public:
  Run(const Options& o, Display* display)
      : o_(o), input_(display, o.window), log_(o.boardLog), probe_(o.probe), random_(o.seed) {}

  int Go();

 private:
  bool Open() const { return line_ == o_.boardLine; }

  // Takes what the board received; waits (bounded) until the lines of every action are in.
  void Drain() {
    for (const std::string& line : log_.Poll()) checker_.Take(line);
  }
  bool WaitUntil(const std::function<bool()>& done, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      Drain();
      if (done()) return true;
      if (Clock::now() > deadline) return false;
      Pause(2);
    }
  }
  void Settle() {
    if (!WaitUntil([&] { return checker_.Settled(); }, 20)) checker_.Lose("not received within 20 s");
  }

  void Count(Kind kind) {
    ++counts_[kind];
    ++done_;
    MaybeSample();
  }
  void Write(const std::string& line, const std::string& action) {
    if (!Open()) return;
    Expect e;
    e.line = line;
    e.action = action;
    checker_.Add(e);
  }

  void Press(Kind kind) {
    static const Point places[] = {kGlow, kStore, kForget, kReplay};
    static const char* const lines[] = {"600", "601", "602", "603"};
    const int i = kind - Glow;
    input_.Click(places[i]);
    Write(lines[i], kKindNames[kind]);
    if (kind == Forget) {
      gSliders[0].position = 90;
      gSliders[1].position = 270;
      gSliders[2].position = 450;
      for (Slider& s : gSliders) s.known = true;
    }
    Settled();
    Count(kind);
  }

  // One key on the focused slider s.
  void Key(int s, KeySym key) {
    Slider& slider = gSliders[s];
    int to = slider.position;
    switch (key) {
      case XK_Home: to = slider.min; break;
      case XK_End: to = slider.max; break;
      case XK_Left:
      case XK_Up: to -= 1; break;
      case XK_Right:
      case XK_Down: to += 1; break;
      case XK_Prior: to -= slider.page; break;
      case XK_Next: to += slider.page; break;
      default: break;
    }
    to = std::clamp(to, slider.min, slider.max);
    input_.Key(key);
    const bool moves = !slider.known || to != slider.position;
    if (moves) Write(std::to_string(to), std::string(slider.name) + " key " + XKeysymToString(key));
    slider.position = to;
    slider.known = true;
    Settled();
    Count(SliderKey);
  }

  // A drag of s's thumb from its known position, then the key that ends it; more keys follow.
  void SliderSession(int s, int keys) {
    Slider& slider = gSliders[s];
    const int room = (slider.max - slider.min) / 4;
    int dir = std::uniform_int_distribution<int>(0, 1)(random_) ? 1 : -1;
    if (slider.position - slider.min < room) dir = 1;
    if (slider.max - slider.position < room) dir = -1;
    const Point from = slider.Thumb(slider.position);
    const int reach = std::uniform_int_distribution<int>(12, slider.length / 2 + 10)(random_);
    const int steps = std::uniform_int_distribution<int>(2, 6)(random_);
    input_.MoveTo(from);
    Pause(5);
    input_.Button(true);
    for (int i = 1; i <= steps; ++i) {
      Pause(std::uniform_int_distribution<int>(5, 15)(random_));
      input_.MoveTo(slider.Along(from, dir * reach * i / steps));
    }
    Pause(5);
    input_.Button(false);
    if (Open()) {
      Expect e;
      e.drag = true;
      e.slider = s;
      e.dir = dir;
      e.action = std::string(slider.name) + " drag";
      checker_.Add(e);
    }
    // Where the drag ended is known once the key that ends it makes the position known again.
    slider.known = false;
    Count(SliderDrag);
    Key(s, dir > 0 ? XK_Home : XK_End);
    static const KeySym kKeys[] = {XK_Left, XK_Right, XK_Up, XK_Down, XK_Prior, XK_Next, XK_Home, XK_End};
    for (int i = 0; i < keys; ++i) Key(s, kKeys[std::uniform_int_distribution<int>(0, 7)(random_)]);
  }

  // Moves the port box to line target with Up and Down, one pick per line on the way.
  void PickLine(int target) {
    input_.Click(kPortBox);
    Pause(30);
    while (line_ != target) {
      const bool wasOpen = Open();
      const bool down = line_ < target;
      input_.Key(down ? XK_Down : XK_Up);
      line_ += down ? 1 : -1;
      if (wasOpen) {
        ++closesExpected_;
        if (!WaitUntil([&] { return log_.closed >= closesExpected_; }, 20)) checker_.Error("the board's port was not closed on leaving its line");
      }
      if (Open()) {
        ++opensExpected_;
        if (!WaitUntil([&] { return log_.opened >= opensExpected_; }, 20)) checker_.Error("the board's port was not opened on picking its line");
      }
      ++picksTo_[line_ == 0 ? 0 : Open() ? 1 : 2];
      sinceOpen_ = 0;
      Count(Pick);
    }
  }

  // After an action: with the port open, the lines must be in before the next action; with it
  // closed nothing comes, and a short pause keeps the input from running far ahead.
  void Settled() {
    if (Open()) {
      Settle();
    } else {
      ++sinceOpen_;
      Pause(15);
    }
  }

  void MaybeSample() {
    if (done_ < nextSample_ || !Open()) return;
    TakeSample();
    while (nextSample_ <= done_) nextSample_ += o_.sampleEvery;
  }
  void TakeSample() {
    Settle();
    Pause(100);  // what the last action painted is done
    std::optional<Sample> s = probe_.Next(true);
    if (!s) Die("the resource probe gave no sample");
    s->actions = done_;
    s->rss = VmRss(o_.panelPid);
    samples_.push_back(*s);
    // Progress, about every tenth of the run.
    if (done_ >= nextProgress_) {
      std::fprintf(stderr, "soak_driver: %ld actions of about %ld: working set %.2f MiB, handles %s, GDI %s, windows %s; "
                   "%ld lines checked, %ld lost, %ld extra, %ld wrong\n",
                   done_, o_.actions, static_cast<double>(s->working) / 1048576.0, s->handles.c_str(), s->gdi.c_str(),
                   s->windows.c_str(), checker_.checked, checker_.lost, checker_.extra, checker_.wrong);
      nextProgress_ = done_ + std::max(1L, o_.actions / 10);
    }
  }

  const Options& o_;
  Input input_;
  BoardLog log_;
  Probe probe_;
  std::mt19937 random_;
  Checker checker_;
  int line_ = -1;  // the port box starts with no line picked
  long done_ = 0, sinceOpen_ = 0, nextSample_ = 0, nextProgress_ = 1;
  long opensExpected_ = 0, closesExpected_ = 0;
  long counts_[KindCount] = {};
  long picksTo_[3] = {};  // "ПОРТ НЕ ОПРЕДЕЛЁН", the board's line, a line without a device
  std::vector<Sample> samples_;
};

std::string Mib(long long bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f MiB", static_cast<double>(bytes) / 1048576.0);
  return text;
}
std::string SignedMib(long long bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f MiB", static_cast<double>(bytes) / 1048576.0);
  return text;
}

int Run::Go() {
  // The probe's first sample, before any action.
  std::optional<Sample> first = probe_.Next(false);
  if (!first) Die("the resource probe gave no sample at start");
  first->rss = VmRss(o_.panelPid);
  samples_.push_back(*first);
  nextSample_ = o_.sampleEvery;

  // The counts of the mix, scaled from the default (slider moves are drags and keys together).
  const long base[KindCount] = {20000, 0, 2000, 2000, 2000, 300, 500};
  long quota[KindCount] = {};
  for (int k = 0; k < KindCount; ++k) {
    if (k != SliderDrag) quota[k] = std::max(1L, std::lround(double(base[k]) * o_.actions / 26800.0));
  }
  input_.Focus();

  // First every kind once: the board's line, every button, a drag of each slider (both ways
  // over the three) with keys of every kind, "ПОРТ НЕ ОПРЕДЕЛЁН" and a line without a device
  // with actions on them, back to the board.
  PickLine(o_.boardLine);
  for (Kind k : {Glow, Store, Forget, Replay}) Press(k);
  for (int s = 0; s < 3; ++s) SliderSession(s, 4);
  PickLine(0);
  Press(Glow);
  SliderSession(1, 2);
  PickLine(o_.freeLines.back());
  Press(Store);
  Press(Replay);
  SliderSession(2, 2);
  PickLine(o_.boardLine);

  auto remaining = [&](int k) { return std::max(0L, quota[k] - counts_[k]); };
  auto sliderLeft = [&] { return std::max(0L, quota[SliderKey] - counts_[SliderKey] - counts_[SliderDrag]); };
  for (;;) {
    const long weights[] = {sliderLeft(), remaining(Glow), remaining(Store), remaining(Forget), remaining(Replay),
                            remaining(Pick)};
    long sum = 0;
    for (long w : weights) sum += w;
    if (sum == 0) break;
    // A closed port for long would leave the input unchecked and unpaced: back to the board.
    if (!Open() && sinceOpen_ > 40) {
      PickLine(o_.boardLine);
      continue;
    }
    long r = std::uniform_int_distribution<long>(0, sum - 1)(random_);
    int choice = 0;
    while (r >= weights[choice]) r -= weights[choice++];
    switch (choice) {
      case 0: {
        // The drag and the key that ends it, then up to five more keys.
        const long keys = std::min(std::max(0L, sliderLeft() - 2),
                                   static_cast<long>(std::uniform_int_distribution<int>(0, 5)(random_)));
        SliderSession(std::uniform_int_distribution<int>(0, 2)(random_), static_cast<int>(keys));
        break;
      }
      case 1: Press(Glow); break;
      case 2: Press(Store); break;
      case 3: Press(Forget); break;
      case 4: Press(Replay); break;
      default: {
        const int roll = std::uniform_int_distribution<int>(0, 9)(random_);
        int target = o_.boardLine;
        if (line_ == o_.boardLine || roll < 4) {
          target = roll < 5 ? 0 : o_.freeLines[std::uniform_int_distribution<std::size_t>(0, o_.freeLines.size() - 1)(random_)];
        }
        if (target == line_) target = o_.boardLine;
        PickLine(target);
        break;
      }
    }
  }
  if (!Open()) PickLine(o_.boardLine);

  // The end: everything in, the last sample, then the board must stay quiet.
  Settle();
  if (samples_.back().actions != done_) TakeSample();
  WaitUntil([] { return false; }, 2);
  checker_.Lose("not received by the end");
  if (!log_.Partial().empty()) {
    checker_.Error("extra bytes without a line feed at the end: \"" + log_.Partial() + "\"");
    ++checker_.extra;
  }
  // Closing the panel closes the port and writes nothing.
  input_.RequestClose();
  ++closesExpected_;
  const bool closed = WaitUntil([&] { return log_.closed >= closesExpected_; }, 30);
  WaitUntil([] { return false; }, 1);

  // --- Report --------------------------------------------------------------------------------
  bool pass = true;
  std::printf("actions: %ld:", done_);
  for (int k = 0; k < KindCount; ++k) std::printf("%s %s %ld", k ? "," : "", kKindNames[k], counts_[k]);
  std::printf("\n");
  std::printf("port picks to: \"ПОРТ НЕ ОПРЕДЕЛЁН\" %ld, the board's line %ld, lines without a device %ld\n", picksTo_[0],
              picksTo_[1], picksTo_[2]);
  std::printf("lines checked: %ld (%ld fixed lines of buttons and keys, %ld lines of %ld drags); "
              "lost %ld, extra %ld, wrong %ld; bytes at the board %ld\n",
              checker_.checked, checker_.fixedLines, checker_.dragLines, checker_.drags, checker_.lost, checker_.extra,
              checker_.wrong, log_.bytes);
  std::printf("board port: opened %ld times (expected %ld), closed %ld times (expected %ld)\n", log_.opened,
              opensExpected_, log_.closed, closesExpected_);
  for (const std::string& e : checker_.errors) std::printf("  %s\n", e.c_str());
  const bool linesOk = checker_.lost == 0 && checker_.extra == 0 && checker_.wrong == 0 && checker_.errors.empty();
  const bool portOk = closed && log_.opened == opensExpected_ && log_.closed == closesExpected_;
  std::printf("check lines: %s\n", linesOk ? "pass (every line accounted for)" : "FAIL");
  std::printf("check port opens and closes: %s\n", portOk ? "pass" : "FAIL");
  pass = linesOk && portOk;

  // Samples: the baseline (first at or after --baseline actions) against the end.
  if (!o_.samplesFile.empty()) {
    std::ofstream out(o_.samplesFile);
    out << "# actions working_set peak private handles user gdi windows vmrss\n";
    for (const Sample& s : samples_) {
      out << s.actions << ' ' << s.working << ' ' << s.peak << ' ' << s.priv << ' ' << s.handles << ' ' << s.user << ' '
          << s.gdi << ' ' << s.windows << ' ' << s.rss << '\n';
    }
  }
  const Sample* base_ = &samples_.back();
  for (const Sample& s : samples_) {
    if (s.actions >= o_.baseline) {
      base_ = &s;
      break;
    }
  }
  const Sample& end = samples_.back();
  std::printf("samples: %zu (before the first action, every %ld actions, at the end; all in the samples file)\n",
              samples_.size(), o_.sampleEvery);
  std::printf("  %-10s %8s %12s %14s %8s %6s %6s %8s %12s\n", "", "actions", "working set", "private bytes",
              "handles", "USER", "GDI", "windows", "VmRSS");
  auto row = [](const char* name, const Sample& s) {
    std::printf("  %-10s %8ld %12s %14s %8s %6s %6s %8s %12s\n", name, s.actions, Mib(s.working).c_str(),
                Mib(s.priv).c_str(), s.handles.c_str(), s.user.c_str(), s.gdi.c_str(), s.windows.c_str(),
                s.rss >= 0 ? Mib(s.rss).c_str() : "-");
  };
  row("start", samples_.front());
  row("baseline", *base_);
  row("end", end);
  // The level at the end: the least of the last samples (a tenth of those after the baseline, at
  // least three), so that an object a paint holds for a moment, or the memory of a picture being
  // drawn, is not taken for growth; what leaks raises every sample after it.
  std::vector<const Sample*> tail;
  for (const Sample& s : samples_) {
    if (s.actions >= base_->actions) tail.push_back(&s);
  }
  const std::size_t keep = std::min(tail.size(), std::max<std::size_t>(3, tail.size() / 10));
  tail.erase(tail.begin(), tail.end() - static_cast<std::ptrdiff_t>(keep));
  long long endWorking = end.working, endPriv = end.priv, maxWorking = 0;
  for (const Sample* s : tail) {
    endWorking = std::min(endWorking, s->working);
    endPriv = std::min(endPriv, s->priv);
  }
  for (const Sample& s : samples_) maxWorking = std::max(maxWorking, s.working);
  std::printf("  the end's level is the least of the last %zu samples (from action %ld)\n", keep, tail.front()->actions);
  std::printf("  working set growth from the baseline to the end's level: %s (largest sample %s); private bytes %s\n",
              SignedMib(endWorking - base_->working).c_str(), Mib(maxWorking).c_str(),
              SignedMib(endPriv - base_->priv).c_str());

  // Counts: flat means the end's level is at most two above the baseline.
  auto flat = [&](const char* name, std::string Sample::*field) {
    if (base_->*field == "-" || end.*field == "-") {
      std::printf("check %s: not answered by the system (not judged)\n", name);
      return true;
    }
    const long b = std::stol(base_->*field);
    long level = std::stol(end.*field), top = b;
    for (const Sample* s : tail) {
      if (s->*field != "-") level = std::min(level, std::stol(s->*field));
    }
    for (const Sample& s : samples_) {
      if (s.actions >= base_->actions && s.*field != "-") top = std::max(top, std::stol(s.*field));
    }
    const bool ok = level - b <= 2;
    std::printf("check %s flat: %s (baseline %ld, end %s, end's level %ld; largest after the baseline %ld)\n", name,
                ok ? "pass" : "FAIL", b, (end.*field).c_str(), level, top);
    return ok;
  };
  pass = flat("handles", &Sample::handles) && pass;
  pass = flat("USER objects", &Sample::user) && pass;
  pass = flat("GDI objects", &Sample::gdi) && pass;
  pass = flat("windows", &Sample::windows) && pass;
  const long long growth = endWorking - base_->working;
  if (o_.judgeWorkingSet) {
    const bool ok = growth < 2LL * 1048576;
    std::printf("check working set growth below 2 MiB: %s\n", ok ? "pass" : "FAIL");
    pass = ok && pass;
  } else {
    std::printf("check working set growth: not judged in a run this short\n");
  }
  // One line for a summary of summaries.
  std::printf("result: %ld actions, %ld lines checked (lost %ld, extra %ld, wrong %ld); from action %ld to the end: "
              "working set %s, handles %s->%s, GDI %s->%s, windows %s->%s\n",
              done_, checker_.checked, checker_.lost, checker_.extra, checker_.wrong, base_->actions,
              SignedMib(growth).c_str(), base_->handles.c_str(), end.handles.c_str(), base_->gdi.c_str(),
              end.gdi.c_str(), base_->windows.c_str(), end.windows.c_str());
  return pass ? 0 : 1;
}

std::vector<int> Numbers(const std::string& text) {
  std::vector<int> out;
  std::istringstream in(text);
  int n;
  while (in >> n) out.push_back(n);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "--judge-working-set") {
      o.judgeWorkingSet = true;
      continue;
    }
    if (i + 1 >= argc) Die("missing value after " + a);
    const std::string v = argv[++i];
    if (a == "--window") o.window = std::stoul(v, nullptr, 0);
    else if (a == "--board-log") o.boardLog = v;
    else if (a == "--board-line") o.boardLine = std::stoi(v);
    else if (a == "--free-lines") o.freeLines = Numbers(v);
    else if (a == "--actions") o.actions = std::stol(v);
    else if (a == "--seed") o.seed = static_cast<unsigned>(std::stoul(v));
    else if (a == "--sample-every") o.sampleEvery = std::stol(v);
    else if (a == "--baseline") o.baseline = std::stol(v);
    else if (a == "--panel-pid") o.panelPid = std::stol(v);
    else if (a == "--samples") o.samplesFile = v;
    else Die("unknown option " + a);
  }
  for (; i < argc; ++i) o.probe.push_back(argv[i]);
  if (o.window == 0 || o.boardLog.empty() || o.freeLines.empty() || o.probe.empty() || o.actions < 1 ||
      o.sampleEvery < 1) {
    Die("usage: soak_driver --window XID --board-log FILE --board-line N --free-lines \"N ...\" --actions N "
        "[--seed N] [--sample-every N] [--baseline N] [--judge-working-set] [--panel-pid PID] [--samples FILE] "
        "-- PROBE COMMAND...");
  }
  signal(SIGPIPE, SIG_IGN);
  Display* display = XOpenDisplay(nullptr);
  int event, error, major, minor;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    Die("no X display with the XTest extension");
  }
  Run run(o, display);
  const int rc = run.Go();
  XCloseDisplay(display);
  return rc;
}
