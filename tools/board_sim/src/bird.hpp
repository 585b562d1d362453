// The bird's side of the serial protocol: splitting the byte stream into
// lines, reading commands from lines, and the servo/glow/frame state that the
// commands change. Nothing here touches the operating system, so all of it is
// tested directly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace board_sim {

// Value ranges of the servo commands. Each servo has its own block of numbers,
// so one number says both which servo moves and where to.
inline constexpr int eyes_min = 0;
inline constexpr int eyes_max = 180;
inline constexpr int neck_min = 181;
inline constexpr int neck_max = 360;
inline constexpr int mouth_min = 361;
inline constexpr int mouth_max = 540;

inline constexpr int cmd_toggle_glow = 600;
inline constexpr int cmd_store_frame = 601;
inline constexpr int cmd_recentre = 602;
inline constexpr int cmd_play = 603;

// Where the bird is at a moment: three servo positions (as the raw command
// numbers) and whether the eyes glow. The defaults are the centred pose.
struct Pose {
    int eyes = 90;
    int neck = 270;
    int mouth = 450;
    bool glow = false;

    bool operator==(const Pose&) const = default;
};

enum class CommandKind { eyes, neck, mouth, toggle_glow, store_frame, recentre, play };

struct Command {
    CommandKind kind = CommandKind::eyes;
    int value = 0;  // the received number
};

// Result of reading one line: either a command or the reason it was ignored.
struct ParsedLine {
    std::optional<Command> command;
    std::string reason;  // set when command is empty, e.g. "out of range"
};

// Reads one line (without its LF). Trailing CRs are dropped first. Accepts only
// plain decimal digits (leading zeros allowed) whose value is a known command.
ParsedLine parse_line(std::string_view line);

// Makes arbitrary received bytes safe to print on one line: printable ASCII
// stays, backslash and everything else become C-style escapes.
std::string printable(std::string_view bytes);

// Splits a byte stream into LF-terminated lines. Lines longer than
// max_line_length are not kept: their bytes are counted and dropped up to the
// next LF, so a sender that never sends LF cannot make this grow.
class LineSplitter {
public:
    static constexpr std::size_t max_line_length = 64;

    struct Line {
        std::string text;          // the line without LF (for overlong lines: its start)
        std::size_t length = 0;    // full length of the line without LF
        bool overlong = false;
    };

    // Appends every line completed by `bytes` to `out`.
    void feed(std::string_view bytes, std::vector<Line>& out);

    // Forgets a partly received line.
    void reset();

    // Bytes held for the line being received (never above max_line_length).
    std::size_t pending_size() const { return partial_.size(); }

private:
    std::string partial_;
    std::size_t overlong_length_ = 0;  // > 0 while discarding an overlong line
};

// The bird: current pose, the frame number and the stored animation frames.
//
// The frame number counts like the panel's frame counter, so that what the
// panel shows and what the board did can be compared: it starts at 0, each 601
// steps it by one and stores the pose as that frame (1 ... 100), the step after
// 100 wraps it to 0 (the recording is empty again), 603 plays frames 1 ... n
// and sets it back to 0, and 602 leaves it alone. frames holds frames 1 ... n,
// so frames.size() is always the frame number.
class Bird {
public:
    static constexpr int frame_min = 0;
    static constexpr int frame_max = 100;
    static constexpr int frame_step = 1;

    Pose pose;
    int frame_number = frame_min;
    std::vector<Pose> frames;

    // Carries out one command. Adds one human-readable line per change to
    // `messages`. For play, returns the number of frames played.
    std::size_t apply(const Command& command, std::vector<std::string>& messages);
};

// Text the board answers to 603, e.g. "played 3 frames\r\n".
std::string play_reply(std::size_t frames_played);

// The recognisable flood pattern: byte i is the i-th character of a repeating
// 64-character alphabet (A-Z, a-z, 0-9, '+', '/').
char flood_byte(std::size_t index);
std::string flood_pattern(std::size_t count);

// How the board answers; set from the command line.
struct BoardSettings {
    std::optional<std::string> reply_603;  // fixed answer to 603 instead of play_reply()
    bool silent_603 = false;               // answer 603 with nothing
    std::size_t flood_bytes = 0;           // flood size, 0 = no flood
    std::optional<std::string> flood_trigger_line = std::string("603");  // empty = not line-triggered
    std::optional<std::string> stop_reading_line;  // a line that makes the board stop reading
};

// The whole board: bytes in, state messages and reply bytes out.
class Board {
public:
    struct Output {
        std::vector<std::string> messages;  // one line each, without newline
        std::string reply;                  // bytes to send back, in order
        // Set when a line equal to settings.stop_reading_line arrived: the
        // board stops reading. The bytes that came after that line in the same
        // chunk were not looked at; they are to be handed in again (receive)
        // once reading resumes.
        bool stop_reading = false;
        std::string unread;
    };

    BoardSettings settings;
    Bird bird;
    LineSplitter splitter;

    Output receive(std::string_view bytes);

private:
    void handle_line(const LineSplitter::Line& line, Output& out);
};

}  // namespace board_sim
