// The web view: cpp-httplib serves the page, its event stream and its controls on a thread pool of
// its own; nlohmann::json writes the events and reads the controls. Everything the handlers
// share with the main loop is behind one mutex.
#include "tools/trace_debugger/web_view.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>

#include "tools/trace_debugger/web_assets.h"

namespace fliran::debugger {

namespace {

using nlohmann::json;

constexpr std::size_t kRecentHops = 300;    // the hops a page that connects late is given
constexpr std::size_t kEventBacklog = 4096;  // events kept for a stream that fell behind
constexpr int kMaxStreams = 4;               // pages open at once (each holds a server thread)

// Random bytes from the kernel as hex; empty when there are none.
std::string RandomHex(std::size_t bytes) {
  std::vector<unsigned char> buffer(bytes);
  std::size_t got = 0;
  while (got < bytes) {
    const ssize_t n = getrandom(buffer.data() + got, bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    got += static_cast<std::size_t>(n);
  }
  std::string hex;
  for (unsigned char byte : buffer) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  return hex;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether a Host header names this server by its loopback address or as localhost, with its
// port (left out only by a client talking to port 80).
bool HostAllowed(std::string_view host, unsigned port) {
  const std::string suffix = ":" + std::to_string(port);
  if (host.size() > suffix.size() && host.substr(host.size() - suffix.size()) == suffix) {
    host.remove_suffix(suffix.size());
  } else if (port != 80) {
    return false;
  }
  return host == "127.0.0.1" || EqualNoCase(host, "localhost");
}

// Whether an Origin header, when a browser sends one, is this server's own page.
bool OriginAllowed(std::string_view origin, unsigned port) {
  if (origin.empty()) return true;
  constexpr std::string_view scheme = "http://";
  return origin.substr(0, scheme.size()) == scheme && HostAllowed(origin.substr(scheme.size()), port);
}

// Compares the whole token whatever differs, so the time taken tells nothing of it.
bool SameToken(std::string_view given, std::string_view token) {
  if (given.size() != token.size() || token.empty()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return difference == 0;
}

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

const char* KindName(std::uint32_t kind) {
  switch (kind) {
    case TraceKindPull: return "pull";
    case TraceKindPulled: return "pulled";
    default: return "event";
  }
}

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

std::string Event(const char* name, const json& data) {
  return std::string("event: ") + name + "\ndata: " + Dump(data) + "\n\n";
}

// The rendered picture of the scheme without the XML declaration and document type that come
// before its <svg> element: the page holds it inline.
std::string_view InlineSvg() {
  const std::string_view svg(kSchemeSvg, kSchemeSvgSize);
  const std::size_t start = svg.find("<svg");
  return start == std::string_view::npos ? std::string_view{} : svg.substr(start);
}

void Replace(std::string* text, std::string_view mark, std::string_view with) {
  for (std::size_t at = text->find(mark); at != std::string::npos; at = text->find(mark, at + with.size())) {
    text->replace(at, mark.size(), with);
  }
}

}  // namespace

struct TWebView::TImpl {
  httplib::Server server;
  std::thread thread;
  std::string error;
  unsigned port = 0;
  std::string token;
  std::string page;  // with the picture and the token in it; a fresh nonce goes in per request
  int wake[2] = {-1, -1};

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<TWebControl> controls;
  std::deque<std::string> events;  // numbered firstEvent, firstEvent + 1, ...
  std::uint64_t firstEvent = 0;
  std::deque<json> recent;  // the last shown hops
  std::map<std::uint32_t, std::uint64_t> counts;
  json state;
  bool ended = false;
  json end;
  int streams = 0;

  std::uint64_t NextEvent() const { return firstEvent + events.size(); }

  void Push(std::string event) {
    events.push_back(std::move(event));
    if (events.size() > kEventBacklog) {
      events.pop_front();
      ++firstEvent;
    }
    changed.notify_all();
  }

  // Everything a page needs to start from: the elements it can filter by, the state, the counts,
  // the last hops and, once it came, the end.
  std::string Hello() const {
    json hello;
    hello["elements"] = json::array();
    for (std::string_view name : PanelElements()) hello["elements"].push_back(std::string(name));
    hello["state"] = state;
    hello["counts"] = json::object();
    for (const auto& [linkId, count] : counts) hello["counts"][Hex8(linkId)] = count;
    hello["hops"] = json::array();
    for (const json& hop : recent) hello["hops"].push_back(hop);
    if (ended) hello["end"] = end;
    return Event("hello", hello);
  }

  // The reason to refuse a request before it is routed, or none.
  std::optional<std::string> Refusal(const httplib::Request& request) const {
    if (!HostAllowed(request.get_header_value("Host"), port)) {
      return "refused: this server answers only to http://127.0.0.1:" + std::to_string(port) +
             "/ and http://localhost:" + std::to_string(port) + "/";
    }
    if (!OriginAllowed(request.get_header_value("Origin"), port)) return "refused: a page from elsewhere";
    return std::nullopt;
  }

  void Routes() {
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
      if (const std::optional<std::string> refusal = Refusal(request)) {
        response.status = 403;
        response.set_content(*refusal + "\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      }
      return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
      const std::string nonce = RandomHex(16);
      std::string html = page;
      Replace(&html, "{{nonce}}", nonce);
      response.set_header("Content-Security-Policy",
                          "default-src 'none'; script-src 'nonce-" + nonce + "'; style-src 'nonce-" + nonce +
                              "'; connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; "
                              "frame-ancestors 'none'");
      response.set_content(html, "text/html; charset=utf-8");
    });

    server.Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
      if (!SameToken(request.get_param_value("token"), token)) {
        response.status = 403;
        response.set_content("refused: no valid token\n", "text/plain");
        return;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (streams >= kMaxStreams) {
          response.status = 503;
          response.set_content("too many pages open: close one\n", "text/plain");
          return;
        }
        ++streams;
      }
      response.set_chunked_content_provider(
          "text/event-stream",
          [this, cursor = std::optional<std::uint64_t>()](std::size_t, httplib::DataSink& sink) mutable {
            std::unique_lock<std::mutex> lock(mutex);
            std::string out;
            if (!cursor || *cursor < firstEvent) {
              // A new page, or one so far behind that it missed events: it starts afresh.
              out = Hello();
              cursor = NextEvent();
            } else {
              // Waits for events; a comment now and then finds a page that has gone.
              const bool woken = changed.wait_for(lock, std::chrono::seconds(5),
                                                  [&] { return NextEvent() > *cursor || ended; });
              if (!woken) out = ": waiting for hops\n\n";
              if (*cursor < firstEvent) return true;  // fell behind while waiting: hello next time
              for (; *cursor < NextEvent(); ++*cursor) out += events[*cursor - firstEvent];
            }
            const bool last = ended && *cursor == NextEvent();
            lock.unlock();
            if (!out.empty() && !sink.write(out.data(), out.size())) return false;
            if (last) sink.done();
            return true;
          },
          [this](bool) {
            std::lock_guard<std::mutex> lock(mutex);
            --streams;
            changed.notify_all();
          });
    });

    server.Post("/control", [this](const httplib::Request& request, httplib::Response& response) {
      if (!SameToken(request.get_header_value("X-Fliran-Token"), token)) {
        response.status = 403;
        response.set_content("refused: no valid token\n", "text/plain");
        return;
      }
      const json body = json::parse(request.body, nullptr, false);
      TWebControl control;
      std::string error;
      const std::string action = body.is_object() && body.contains("action") && body["action"].is_string()
                                     ? body["action"].get<std::string>()
                                     : std::string();
      if (action == "step") {
        control.Answer = TAnswer::Step;
      } else if (action == "run") {
        control.Answer = TAnswer::Run;
      } else if (action == "stop") {
        control.Answer = TAnswer::Stop;
      } else if (action == "filter" && body.contains("elements") && body["elements"].is_array()) {
        std::vector<std::string> elements;
        for (const json& name : body["elements"]) {
          if (!name.is_string()) {
            error = "the elements are names";
            break;
          }
          elements.push_back(name.get<std::string>());
        }
        // The same check as the main loop's, so that the page learns what is wrong.
        if (error.empty()) error = TStepper(false, {}).SetElements(elements);
        control.Elements = std::move(elements);
      } else {
        error = "the action is step, run, stop or filter (with elements)";
      }
      if (!error.empty()) {
        response.status = 400;
        response.set_content(error + "\n", "text/plain");
        return;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        controls.push_back(std::move(control));
      }
      const char byte = 1;
      [[maybe_unused]] const ssize_t written = write(wake[1], &byte, 1);  // a full pipe is awake anyway
      response.set_content("ok\n", "text/plain");
    });
  }
};

TWebView::TWebView(unsigned port) : impl_(std::make_unique<TImpl>()) {
  TImpl& web = *impl_;
  web.token = RandomHex(16);
  if (web.token.empty()) {
    web.error = "no random numbers for the page's token: " + std::string(std::strerror(errno));
    return;
  }
  if (pipe2(web.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    web.error = "no pipe: " + std::string(std::strerror(errno));
    return;
  }
  web.page = std::string(kWebPage, kWebPageSize);
  Replace(&web.page, "{{token}}", web.token);
  Replace(&web.page, "{{scheme}}", InlineSvg());

  web.server.set_default_headers({{"Cache-Control", "no-store"},
                                  {"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"},
                                  {"X-Frame-Options", "DENY"}});
  // A hop's event leaves at once instead of waiting for the page to acknowledge the one before.
  web.server.set_tcp_nodelay(true);
  // The library's own default lets a second program listen on the same port (SO_REUSEPORT) and
  // take some of the connections; only the address is reused here, after a restart.
  web.server.set_socket_options([](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  // Idle connections end soon, so that the server stops quickly at the end of the session.
  web.server.set_keep_alive_timeout(1);
  web.server.set_payload_max_length(64 * 1024);
  web.Routes();

  errno = 0;
  if (port == 0) {
    const int bound = web.server.bind_to_any_port("127.0.0.1");
    web.port = bound > 0 ? static_cast<unsigned>(bound) : 0;
  } else if (web.server.bind_to_port("127.0.0.1", static_cast<int>(port))) {
    web.port = port;
  }
  if (web.port == 0) {
    web.error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                (errno != 0 ? std::strerror(errno) : "the port is taken or not allowed") +
                "\n  take another port: trace_debugger --web N (1024 or above, or 0 for any free port)";
    return;
  }
  web.thread = std::thread([&web] { web.server.listen_after_bind(); });
}

TWebView::~TWebView() {
  TImpl& web = *impl_;
  if (web.thread.joinable()) {
    End("");
    // The open pages get the end before the server goes.
    std::unique_lock<std::mutex> lock(web.mutex);
    web.changed.wait_for(lock, std::chrono::seconds(2), [&] { return web.streams == 0; });
    lock.unlock();
    web.server.stop();
    web.thread.join();
  }
  for (int fd : web.wake) {
    if (fd >= 0) close(fd);
  }
}

bool TWebView::Open() const { return impl_->thread.joinable(); }
const std::string& TWebView::Error() const { return impl_->error; }
std::string TWebView::Url() const { return "http://127.0.0.1:" + std::to_string(impl_->port) + "/"; }
int TWebView::WakeHandle() const { return impl_->wake[0]; }

std::vector<TWebControl> TWebView::TakeControls() {
  char drained[64];
  while (read(impl_->wake[0], drained, sizeof drained) > 0) {
  }
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<TWebControl> taken(std::make_move_iterator(impl_->controls.begin()),
                                 std::make_move_iterator(impl_->controls.end()));
  impl_->controls.clear();
  return taken;
}

void TWebView::Hop(const TWebHop& hop) {
  json data{{"t", hop.Seconds},
            {"link", Hex8(hop.Hop.LinkId)},
            {"kind", KindName(hop.Hop.Kind)},
            {"value", hop.Value},
            {"line", hop.Line},
            {"name", LinkText(hop.Hop)},
            {"shown", hop.Shown},
            {"count", hop.Count}};
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->ended) return;
  impl_->counts[hop.Hop.LinkId] = hop.Count;
  if (hop.Shown) {
    impl_->recent.push_back(data);
    if (impl_->recent.size() > kRecentHops) impl_->recent.pop_front();
  }
  impl_->Push(Event("hop", data));
}

void TWebView::State(const TStepper& stepper) {
  json state{{"running", stepper.Running()}, {"elements", stepper.Elements()}, {"held", nullptr}};
  if (stepper.Held()) state["held"] = Hex8(stepper.Held()->LinkId);
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->ended || state == impl_->state) return;
  impl_->state = state;
  impl_->Push(Event("state", state));
}

void TWebView::End(const std::string& closing) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->ended) return;
  impl_->ended = true;
  impl_->end = json{{"line", closing}};
  impl_->Push(Event("end", impl_->end));
}

}  // namespace fliran::debugger
