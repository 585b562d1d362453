// Input latency of two Windows programs under Wine, measured from Linux: the time from a real
// X input event (a mouse click on a button, a key press on a focused slider) to the first byte of
// the line that the program writes to its COM port in reaction. Used by tools/panel-bench.sh.
//
//   input_latency_probe --wine-prefix DIR --com A --com B [--com C] --ready-file FILE
//
// A is the panel's port, B the fair floor's, C the one-window floor's (the names in its messages).
// For each --com it opens a pseudo-terminal, keeps both ends open (so the port can be opened and
// closed again) and links it as COMn of the Wine prefix; then it writes FILE. The script starts
// the programs on these ports and writes one line to the probe's standard input:
//
//   XID_A XID_B [XID_C] ROUNDS
//
// the X windows (client areas) of the programs on the ports in the order given. The probe then
// injects input with the XTest extension at fixed client coordinates (the places of the panel's
// glow button and eyes slider, where the floor program has its own) and reads the lines from the
// pty masters itself, so no other process sits between the event and the clock. Each round
// measures on each program a click (press and release at once), a click whose press goes 100 ms
// before the release (timed from the release only, which is when a button acts), and a slider
// key, the programs in turns whose order rotates every round, so that all meet the same load; three warm-up rounds
// are not counted. Before each timed event the target
// window is activated by an untimed click (a neutral spot for the button; the slider itself,
// which also gives it the focus), and its output is drained, so the time covers only the
// reaction to the event. The slider keys are End and Home in turns (the click in the slider's
// middle moves it off either end first).
//
// Prints per program (0, 1, 2 in the order of --com) and kind every counted time in milliseconds,
// as "sample click 0 <ms>", then the median, minimum and maximum, as
//   "latency click 0 <median> <min> <max>" ... "latency release 1 ..." ... "latency slide 1 ...",
// then asks the windows to close (as a window manager's close button does: WM_DELETE_WINDOW) and
// exits 0; exits 1 when something could not be measured (a missing or wrong line within 5 s).
// The COM links are removed at exit, also on SIGINT, SIGTERM and SIGHUP.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

// Client coordinates shared by the panel and the floor program.
struct Point {
  int x, y;
};
constexpr Point GlowButton{352, 192};
constexpr Point SliderMiddle{295, 45};
// Form background, no control, inside every client area (the panel's window is 442 x 509 with
// its caption and frame, so its client area is about 436 x 480), and left of x 387, where the
// third window may run off the screen.
constexpr Point NeutralSpot{190, 470};

// The links made, for removal also from a signal handler (readlink and unlink are safe there).
constexpr int MaxPorts = 3;
char gLinks[MaxPorts][4096];
char gTargets[MaxPorts][64];
int gLinkCount = 0;

void RemoveLinks() {
  for (int i = 0; i < gLinkCount; ++i) {
    char target[64] = {};
    const ssize_t n = readlink(gLinks[i], target, sizeof target - 1);
    if (n > 0 && std::strcmp(target, gTargets[i]) == 0) unlink(gLinks[i]);
  }
}

void OnSignal(int signal) {
  RemoveLinks();
  _exit(128 + signal);
}

// One pseudo-terminal; both ends are closed with the object.
struct Port {
  int master = -1;
  int slave = -1;
  std::string path;

  Port() = default;
  Port(Port&& other) noexcept
      : master(std::exchange(other.master, -1)), slave(std::exchange(other.slave, -1)), path(std::move(other.path)) {}
  Port& operator=(Port&& other) noexcept {
    std::swap(master, other.master);
    std::swap(slave, other.slave);
    std::swap(path, other.path);
    return *this;
  }
  ~Port() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

std::optional<Port> OpenPty() {
  Port port;
  port.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (port.master < 0 || grantpt(port.master) != 0 || unlockpt(port.master) != 0) return std::nullopt;
  const char* name = ptsname(port.master);
  if (name == nullptr) return std::nullopt;
  port.path = name;
  // Kept open: the pty stays usable while the program has the port closed.
  port.slave = open(name, O_RDWR | O_NOCTTY);
  if (port.slave < 0) return std::nullopt;
  termios mode{};
  if (tcgetattr(port.slave, &mode) != 0) return std::nullopt;
  cfmakeraw(&mode);
  if (tcsetattr(port.slave, TCSANOW, &mode) != 0) return std::nullopt;
  fcntl(port.master, F_SETFL, fcntl(port.master, F_GETFL) | O_NONBLOCK);
  return port;
}

bool LinkCom(const std::string& prefix, int com, const std::string& device) {
  const std::string link = prefix + "/dosdevices/com" + std::to_string(com);
  const std::string temporary = link + ".probe." + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(device.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  std::snprintf(gLinks[gLinkCount], sizeof gLinks[0], "%s", link.c_str());
  std::snprintf(gTargets[gLinkCount], sizeof gTargets[0], "%s", device.c_str());
  ++gLinkCount;
  return true;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Reads whatever the program writes until nothing has come for quietMs.
void Drain(int fd, int quietMs) {
  char buffer[256];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0) return;
    if (read(fd, buffer, sizeof buffer) <= 0) return;
  }
}

// Waits up to 5 s for one whole line; answers the arrival time of its first byte and the line.
bool ReadLine(int fd, Clock::time_point& first, std::string& line) {
  line.clear();
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (line.empty() || line.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const auto now = Clock::now();
    char c;
    while (read(fd, &c, 1) == 1) {
      if (line.empty()) first = now;
      line += c;
      if (c == '\n') break;
    }
  }
  return true;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct Target {
  const char* name;
  Window window;
  Port port;
  std::vector<double> click, release, slide;
};

class Injector {
 public:
  explicit Injector(Display* display) : display_(display) {}

  Point ToScreen(Window window, Point p) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), p.x, p.y, &x, &y, &child);
    return {x, y};
  }
  void MoveTo(Window window, Point p) {
    const Point s = ToScreen(window, p);
    XTestFakeMotionEvent(display_, -1, s.x, s.y, CurrentTime);
    XSync(display_, False);
  }
  void Button(bool down) {
    XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
    XFlush(display_);
  }
  void Click() {
    Button(true);
    Button(false);
  }
  void Key(KeySym key, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, key), down ? True : False, CurrentTime);
    XFlush(display_);
  }
  // Gives the window the X input focus and clicks at p (untimed), then lets the program settle.
  void Activate(Target& t, Point p) {
    XSetInputFocus(display_, t.window, RevertToParent, CurrentTime);
    MoveTo(t.window, p);
    Pause(20);
    Click();
    XSync(display_, False);
    Drain(t.port.master, 150);
  }

 private:
  Display* display_;
};

bool Fail(const Target& t, const char* what, const std::string& got) {
  std::fprintf(stderr, "input_latency_probe: %s: %s", t.name, what);
  if (!got.empty()) std::fprintf(stderr, " (got \"%s\")", got.c_str());
  std::fprintf(stderr, "\n");
  return false;
}

// A click on the button. With pressFirstMs 0 the press and the release are sent back to back and
// the time covers both; else the press goes pressFirstMs earlier, as a person's click does, and
// the time covers the release alone (the button writes when it is released).
bool MeasureClick(Injector& in, Target& t, int pressFirstMs, bool counted) {
  in.Activate(t, NeutralSpot);
  in.MoveTo(t.window, GlowButton);
  Pause(50);  // hover effects are drawn before the clock starts
  Drain(t.port.master, 0);
  if (pressFirstMs > 0) {
    in.Button(true);
    Pause(pressFirstMs);
  }
  const auto start = Clock::now();
  if (pressFirstMs == 0) in.Button(true);
  in.Button(false);
  Clock::time_point first;
  std::string line;
  if (!ReadLine(t.port.master, first, line)) return Fail(t, "no line within 5 s of the click", line);
  if (line != "600\n") return Fail(t, "the click wrote another line than 600", line);
  if (counted) (pressFirstMs == 0 ? t.click : t.release).push_back(Milliseconds(first - start));
  Drain(t.port.master, 50);
  return true;
}

bool MeasureSlide(Injector& in, Target& t, bool toEnd, bool counted) {
  in.Activate(t, SliderMiddle);
  const KeySym key = toEnd ? XK_End : XK_Home;
  const auto start = Clock::now();
  in.Key(key, true);
  Clock::time_point first;
  std::string line;
  const bool got = ReadLine(t.port.master, first, line);
  in.Key(key, false);
  if (!got) return Fail(t, "no line within 5 s of the slider key", line);
  if (line != (toEnd ? "180\n" : "0\n")) return Fail(t, "the slider key wrote another line", line);
  if (counted) t.slide.push_back(Milliseconds(first - start));
  Drain(t.port.master, 50);
  return true;
}

// Asks a top-level window to close the way a window manager's close button does.
void RequestClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

void Report(const char* kind, int index, std::vector<double> v) {
  for (double ms : v) std::printf("sample %s %d %.3f\n", kind, index, ms);
  std::sort(v.begin(), v.end());
  const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  std::printf("latency %s %d %.3f %.3f %.3f\n", kind, index, median, v.front(), v.back());
}

}  // namespace

int main(int argc, char** argv) {
  std::string prefix, ready;
  std::vector<int> coms;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--wine-prefix") prefix = argv[i + 1];
    else if (option == "--com") coms.push_back(std::atoi(argv[i + 1]));
    else if (option == "--ready-file") ready = argv[i + 1];
  }
  if (prefix.empty() || ready.empty() || coms.size() < 2 || coms.size() > MaxPorts) {
    std::fprintf(stderr, "usage: input_latency_probe --wine-prefix DIR --com A --com B [--com C] --ready-file FILE\n");
    return 2;
  }
  const int count = static_cast<int>(coms.size());
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, &OnSignal);
  std::atexit(&RemoveLinks);

  Target targets[MaxPorts] = {
      {"panel", 0, {}, {}, {}, {}}, {"fair floor", 0, {}, {}, {}, {}}, {"floor", 0, {}, {}, {}, {}}};
  for (int i = 0; i < count; ++i) {
    std::optional<Port> port = OpenPty();
    if (!port) {
      std::perror("input_latency_probe: opening a pty");
      return 1;
    }
    targets[i].port = std::move(*port);
    if (!LinkCom(prefix, coms[static_cast<std::size_t>(i)], targets[i].port.path)) {
      std::perror("input_latency_probe: linking the COM port");
      return 1;
    }
  }
  {
    std::ofstream out(ready);
    for (int i = 0; i < count; ++i) out << targets[i].port.path << (i + 1 < count ? ' ' : '\n');
  }

  int rounds = 0;
  bool read = true;
  for (int i = 0; i < count; ++i) read = read && static_cast<bool>(std::cin >> targets[i].window);
  if (!read || !(std::cin >> rounds) || rounds < 1) {
    std::fprintf(stderr, "input_latency_probe: expected one window per port and ROUNDS on standard input\n");
    return 1;
  }

  Display* display = XOpenDisplay(nullptr);
  int event, error, major, minor;
  if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "input_latency_probe: no X display with the XTest extension\n");
    return 1;
  }
  Injector injector(display);
  constexpr int WarmUp = 3;
  for (int r = 0; r < WarmUp + rounds; ++r) {
    const bool counted = r >= WarmUp;
    std::vector<Target*> order;
    for (int k = 0; k < count; ++k) order.push_back(&targets[(r + k) % count]);
    for (Target* t : order) {
      if (!MeasureClick(injector, *t, 0, counted)) return 1;
    }
    for (Target* t : order) {
      if (!MeasureClick(injector, *t, 100, counted)) return 1;
    }
    for (Target* t : order) {
      if (!MeasureSlide(injector, *t, r % 2 == 0, counted)) return 1;
    }
  }
  for (int i = 0; i < count; ++i) {
    Report("click", i, targets[i].click);
    Report("release", i, targets[i].release);
    Report("slide", i, targets[i].slide);
  }
  for (int i = 0; i < count; ++i) RequestClose(display, targets[i].window);
  XCloseDisplay(display);
  return 0;
}
