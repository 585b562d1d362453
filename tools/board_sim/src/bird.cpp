#include "bird.hpp"

#include <charconv>
#include <string_view>
#include <system_error>

namespace board_sim {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Longest digit string worth converting; anything longer is out of range anyway.
constexpr std::size_t max_digits = 9;

}  // namespace

ParsedLine parse_line(std::string_view line) {
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    if (line.empty()) return {std::nullopt, "empty line"};
    for (char c : line) {
        if (!is_digit(c)) return {std::nullopt, "not a number"};
    }

    // Skip leading zeros so "007" works and long zero runs do not overflow.
    std::string_view digits = line;
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > max_digits) return {std::nullopt, "out of range"};

    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return {std::nullopt, "not a number"};
    }

    if (value >= eyes_min && value <= eyes_max) return {Command{CommandKind::eyes, value}, {}};
    if (value >= neck_min && value <= neck_max) return {Command{CommandKind::neck, value}, {}};
    if (value >= mouth_min && value <= mouth_max) return {Command{CommandKind::mouth, value}, {}};
    switch (value) {
        case cmd_toggle_glow: return {Command{CommandKind::toggle_glow, value}, {}};
        case cmd_store_frame: return {Command{CommandKind::store_frame, value}, {}};
        case cmd_recentre: return {Command{CommandKind::recentre, value}, {}};
        case cmd_play: return {Command{CommandKind::play, value}, {}};
        default: return {std::nullopt, "out of range"};
    }
}

std::string printable(std::string_view bytes) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default:
                if (u >= 0x20 && u < 0x7f) {
                    out += c;
                } else {
                    out += "\\x";
                    out += hex[u >> 4];
                    out += hex[u & 0x0f];
                }
        }
    }
    return out;
}

void LineSplitter::feed(std::string_view bytes, std::vector<Line>& out) {
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);

        if (overlong_length_ > 0) {
            overlong_length_ += piece.size();
        } else if (partial_.size() + piece.size() > max_line_length) {
            // Keep the start for the log message, count the rest.
            overlong_length_ = partial_.size() + piece.size();
            partial_.append(piece.substr(0, max_line_length - partial_.size()));
        } else {
            partial_.append(piece);
        }

        if (lf == std::string_view::npos) return;

        Line line;
        if (overlong_length_ > 0) {
            line.overlong = true;
            line.length = overlong_length_;
        } else {
            line.length = partial_.size();
        }
        line.text = std::move(partial_);
        out.push_back(std::move(line));
        reset();
        bytes.remove_prefix(lf + 1);
    }
}

void LineSplitter::reset() {
    partial_.clear();
    overlong_length_ = 0;
}

std::size_t Bird::apply(const Command& command, std::vector<std::string>& messages) {
    auto move_servo = [&](int& servo, const char* name) {
        if (servo == command.value) return;
        servo = command.value;
        messages.push_back(std::string(name) + " " + std::to_string(servo));
    };

    switch (command.kind) {
        case CommandKind::eyes: move_servo(pose.eyes, "eyes"); return 0;
        case CommandKind::neck: move_servo(pose.neck, "neck"); return 0;
        case CommandKind::mouth: move_servo(pose.mouth, "mouth"); return 0;
        case CommandKind::toggle_glow:
            pose.glow = !pose.glow;
            messages.push_back(pose.glow ? "glow on" : "glow off");
            return 0;
        case CommandKind::store_frame:
            frame_number += frame_step;
            if (frame_number > frame_max) {
                frame_number = frame_min;
                frames.clear();
                messages.push_back("frame number " + std::to_string(frame_number) + ", frames forgotten");
                return 0;
            }
            frames.push_back(pose);
            messages.push_back("stored frame " + std::to_string(frame_number));
            return 0;
        case CommandKind::recentre: {
            // Only the servos move; the glow is not a servo and stays as it
            // is, and so do the frame number and the frames.
            const Pose centre{};
            pose.eyes = centre.eyes;
            pose.neck = centre.neck;
            pose.mouth = centre.mouth;
            messages.push_back("recentred");
            return 0;
        }
        case CommandKind::play: {
            // The servos run through the frames and stay at the last one; the
            // frame number goes back to 0, so the next 601 starts a new
            // recording at frame 1.
            const std::size_t count = frames.size();
            messages.push_back("replayed " + std::to_string(count) + (count == 1 ? " frame" : " frames") +
                               ", frame number " + std::to_string(frame_min));
            if (count > 0) {
                const Pose last = frames.back();
                if (pose.eyes != last.eyes) messages.push_back("eyes " + std::to_string(last.eyes));
                if (pose.neck != last.neck) messages.push_back("neck " + std::to_string(last.neck));
                if (pose.mouth != last.mouth) messages.push_back("mouth " + std::to_string(last.mouth));
                if (pose.glow != last.glow) messages.push_back(last.glow ? "glow on" : "glow off");
                pose = last;
            }
            frame_number = frame_min;
            frames.clear();
            return count;
        }
    }
    return 0;
}

std::string play_reply(std::size_t frames_played) {
    return "played " + std::to_string(frames_played) + (frames_played == 1 ? " frame" : " frames") + "\r\n";
}

char flood_byte(std::size_t index) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return alphabet[index % alphabet.size()];
}

std::string flood_pattern(std::size_t count) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = flood_byte(i);
    return out;
}

Board::Output Board::receive(std::string_view bytes) {
    Output out;
    std::vector<LineSplitter::Line> lines;
    // One line at a time, so that the bytes after a line that stops the
    // reading stay untouched.
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
        splitter.feed(bytes.substr(0, take), lines);
        bytes.remove_prefix(take);
        for (const auto& line : lines) handle_line(line, out);
        lines.clear();
        if (out.stop_reading) {
            out.unread = std::string(bytes);
            break;
        }
    }
    return out;
}

void Board::handle_line(const LineSplitter::Line& line, Output& out) {
    if (line.overlong) {
        out.messages.push_back("ignored: overlong line (" + std::to_string(line.length) + " bytes, starting \"" +
                               printable(line.text.substr(0, 16)) + "\")");
        return;
    }

    const ParsedLine parsed = parse_line(line.text);
    if (!parsed.command) {
        if (parsed.reason == "empty line") {
            out.messages.push_back("ignored: empty line");
        } else {
            out.messages.push_back("ignored: \"" + printable(line.text) + "\" (" + parsed.reason + ")");
        }
    } else {
        const std::size_t played = bird.apply(*parsed.command, out.messages);
        if (parsed.command->kind == CommandKind::play && !settings.silent_603) {
            out.reply += settings.reply_603 ? *settings.reply_603 : play_reply(played);
        }
    }

    std::string_view text = line.text;
    while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (settings.flood_bytes > 0 && settings.flood_trigger_line && text == *settings.flood_trigger_line) {
        out.reply += flood_pattern(settings.flood_bytes);
    }
    if (settings.stop_reading_line && text == *settings.stop_reading_line) {
        out.messages.push_back("stopped reading");
        out.stop_reading = true;
    }
}

}  // namespace board_sim
