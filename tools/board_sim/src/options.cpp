#include "options.hpp"

#include <charconv>
#include <limits>

namespace board_sim {

namespace {

constexpr std::size_t max_flood_bytes = 64u * 1024u * 1024u;
constexpr int max_com_number = 256;
constexpr int max_reappear_ms = 24 * 60 * 60 * 1000;
constexpr int max_delay_ms = 60 * 60 * 1000;

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename Number>
Number parse_number(std::string_view option, std::string_view text, Number min, Number max) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < min || value > max) {
        throw UsageError(std::string(option) + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

}  // namespace

std::string decode_escapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) throw UsageError("text ends with a lone backslash");
        switch (text[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '0': out += '\0'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                const int high = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? hex_value(text[i + 2]) : -1;
                if (high < 0 || low < 0) throw UsageError("\\x needs two hex digits");
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: throw UsageError(std::string("unknown escape \\") + text[i]);
        }
    }
    return out;
}

std::string decode_hex(std::string_view hex) {
    std::string out;
    int high = -1;
    for (char c : hex) {
        if (c == ' ' || c == ':') {
            if (high >= 0) throw UsageError("hex bytes need two digits each");
            continue;
        }
        const int v = hex_value(c);
        if (v < 0) throw UsageError(std::string("not a hex digit: ") + c);
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    if (high >= 0) throw UsageError("hex bytes need two digits each");
    return out;
}

Options parse_options(const std::vector<std::string_view>& args) {
    Options options;
    bool reply_given = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inline_value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
            inline_value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto value = [&]() -> std::string_view {
            if (inline_value) return *inline_value;
            if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
            return args[++i];
        };
        auto no_value = [&] {
            if (inline_value) throw UsageError(std::string(name) + " takes no value");
        };
        auto set_reply = [&](std::string bytes) {
            if (reply_given) throw UsageError("give only one of --reply-603, --reply-603-hex, --silent-603");
            reply_given = true;
            options.board.reply_603 = std::move(bytes);
        };

        if (name == "--help" || name == "-h") {
            no_value();
            options.help = true;
        } else if (name == "--print-path") {
            no_value();
            options.print_path = true;
        } else if (name == "--wine-prefix") {
            options.wine_prefix = std::filesystem::path(value());
        } else if (name == "--com") {
            options.com = parse_number<int>(name, value(), 1, max_com_number);
        } else if (name == "--log") {
            options.log_file = std::filesystem::path(value());
        } else if (name == "--ready-file") {
            options.ready_file = std::filesystem::path(value());
        } else if (name == "--reply-603") {
            set_reply(decode_escapes(value()));
        } else if (name == "--reply-603-hex") {
            set_reply(decode_hex(value()));
        } else if (name == "--silent-603") {
            no_value();
            if (reply_given) throw UsageError("give only one of --reply-603, --reply-603-hex, --silent-603");
            reply_given = true;
            options.board.silent_603 = true;
        } else if (name == "--flood") {
            options.board.flood_bytes = parse_number<std::size_t>(name, value(), 1, max_flood_bytes);
        } else if (name == "--flood-on") {
            const std::string_view trigger = value();
            if (trigger == "open") {
                options.flood_on_open = true;
                options.board.flood_trigger_line.reset();
            } else if (trigger.empty() || trigger.size() > LineSplitter::max_line_length ||
                       trigger.find_first_of("\r\n") != std::string_view::npos) {
                throw UsageError("--flood-on needs \"open\" or the text of a line (without CR/LF)");
            } else {
                options.flood_on_open = false;
                options.board.flood_trigger_line = std::string(trigger);
            }
        } else if (name == "--reply-delay-ms") {
            options.reply_delay_ms = parse_number<int>(name, value(), 0, max_delay_ms);
        } else if (name == "--byte-gap-ms") {
            options.byte_gap_ms = parse_number<int>(name, value(), 0, max_delay_ms);
        } else if (name == "--stop-reading-on") {
            const std::string_view trigger = value();
            if (trigger.empty() || trigger.size() > LineSplitter::max_line_length ||
                trigger.find_first_of("\r\n") != std::string_view::npos) {
                throw UsageError("--stop-reading-on needs the text of a line (without CR/LF)");
            }
            options.board.stop_reading_line = std::string(trigger);
        } else if (name == "--stop-reading-ms") {
            options.stop_reading_ms = parse_number<int>(name, value(), 0, max_delay_ms);
        } else if (name == "--resume-file") {
            options.resume_file = std::filesystem::path(value());
        } else if (name == "--drop-after") {
            options.drop_after_bytes =
                parse_number<std::size_t>(name, value(), 1, std::numeric_limits<std::size_t>::max());
        } else if (name == "--reappear-after-ms") {
            options.reappear_after_ms = parse_number<int>(name, value(), 0, max_reappear_ms);
        } else {
            throw UsageError("unknown option " + std::string(args[i]) + " (see --help)");
        }
    }

    if (options.help) return options;
    if (options.wine_prefix.has_value() != (options.com != 0)) {
        throw UsageError("--wine-prefix and --com go together");
    }
    if (!options.print_path && !options.wine_prefix) {
        throw UsageError("nothing to do: give --print-path and/or --wine-prefix DIR --com N");
    }
    if (options.reappear_after_ms && !options.drop_after_bytes) {
        throw UsageError("--reappear-after-ms needs --drop-after");
    }
    if (options.board.stop_reading_line.has_value() !=
        (options.stop_reading_ms.has_value() || options.resume_file.has_value())) {
        throw UsageError("--stop-reading-on goes with --stop-reading-ms and/or --resume-file");
    }
    return options;
}

std::string usage_text() {
    return R"(board_sim: a virtual bird controller board on a pseudo-terminal.

Usage: board_sim [--print-path] [--wine-prefix DIR --com N] [options]

The board reads one decimal number per line (LF ends a line; a CR before the
LF is ignored): 0..180 eyes, 181..360 neck, 361..540 mouth servo positions,
600 toggles the eye glow, 601 steps the frame number and stores the current
pose as that frame, 602 recentres the servos (eyes 90, neck 270, mouth 450;
the glow, the frame number and the frames stay), 603 plays the frames back
(the servos stay at the last frame), sets the frame number to 0 and answers
"played N frames\r\n" ("frame" for one) in a single write.
The frame number counts like the panel's frame counter: 0 at the start, each
601 steps it 1, 2, ... 100, the step after 100 wraps it to 0 and forgets the
frames, 603 sets it to 0, so the panel's count and the board's agree.
Anything else is ignored; lines longer than 64 bytes are not stored, only
counted up to their LF.

Where the port appears (at least one is needed):
  --print-path            print the pty slave path (e.g. /dev/pts/3) as the
                          first line on stdout, and again after each reappearance
  --wine-prefix DIR --com N
                          make DIR/dosdevices/comN a symlink to the pty, so
                          Win32 programs under Wine (WINEPREFIX=DIR) open it as
                          \\.\ComN. An existing comN is replaced. The link is put
                          back if something else changes it, and removed on exit.
                          DIR/dosdevices must exist (create the prefix first).

Test options:
  --ready-file F          once the port is in place, write F containing the pty
                          path and a newline (written atomically). F is removed
                          when the port is dropped and on exit, and written again
                          when the port reappears.
  --log FILE              write (from empty) a record per received or sent chunk
                          and per port event to FILE, flushed per record:
                            <usec> rx <hex>    bytes read from the port
                            <usec> tx <hex>    bytes written to the port
                            <usec> ev <text>   appeared <path> | opened | closed |
                                               paused | resumed | dropped
                          <usec> is CLOCK_MONOTONIC in microseconds (rx: taken
                          after the read, tx: before the write), <hex> is two
                          lower-case hex digits per byte with nothing between.
                          Bytes read together share a record; "opened"/"closed"
                          are seen opens/closes of the pty by any program.
  --reply-603 TEXT        answer 603 with TEXT instead; escapes \r \n \t \0 \\ \xNN
                          (an empty TEXT answers nothing)
  --reply-603-hex HEX     answer 603 with these bytes, e.g. 6f6b000d0a
  --silent-603            do not answer 603 at all (the frames still play)
  --flood N               send N bytes of a repeating 64-character pattern
                          (A-Z a-z 0-9 + /, starting at "A") on each trigger
  --flood-on LINE|open    trigger for --flood: a received line equal to LINE
                          (default 603; sent after any normal answer), or "open":
                          each time a program opens the port (a program that
                          purges its input after opening discards it)
  --reply-delay-ms N      hold every answer (603 answer, flood) N ms after the
                          chunk that caused it was read, then send it
  --byte-gap-ms N         send answers one byte per write, N ms apart
  --stop-reading-on LINE  after a received line equal to LINE, stop reading
                          the port: what a program writes meanwhile stays in
                          the pty's buffer (where a flush of the program's
                          output can discard what the reading side, 4095
                          bytes, does not hold). Bytes read together with
                          LINE are handled when reading resumes. Logged as
                          events "paused" and "resumed".
  --stop-reading-ms M     read again M ms after stopping
  --resume-file F         read again once the file F exists (the board
                          removes it); with --stop-reading-ms, whichever
                          comes first. One of the two is needed.
  --drop-after K          after K bytes received on the port, close the pty: the
                          program holding it sees a hangup, the link (and ready
                          file) goes away. The count restarts with each new pty.
  --reappear-after-ms M   M ms after a drop, open a new pty and link it again
                          (the path may differ from the old one). Without this
                          option the board stays gone until it is stopped.
  --help                  show this text

stdout gets one line per change of the bird's state, e.g. "eyes 95",
"glow on", "stored frame 2", "recentred, frames forgotten", "replayed 3 frames",
and "ignored: ..." for lines that are not commands. Port events and problems go
to stderr. SIGTERM, SIGINT and SIGHUP end the program cleanly (exit status 0).
)";
}

}  // namespace board_sim
