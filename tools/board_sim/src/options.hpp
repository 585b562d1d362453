// Command-line options of board_sim.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bird.hpp"

namespace board_sim {

struct Options {
    bool help = false;
    bool print_path = false;
    std::optional<std::filesystem::path> wine_prefix;
    int com = 0;  // set together with wine_prefix
    std::optional<std::filesystem::path> log_file;
    std::optional<std::filesystem::path> ready_file;
    BoardSettings board;        // 603 answer, line-triggered flood, line that stops the reading
    bool flood_on_open = false;  // flood each time a program opens the port
    int reply_delay_ms = 0;      // hold every answer this long before sending it
    int byte_gap_ms = 0;         // send answers byte by byte, this far apart
    std::optional<int> stop_reading_ms;                  // read again this long after stopping
    std::optional<std::filesystem::path> resume_file;    // read again once this file exists
    std::optional<std::size_t> drop_after_bytes;
    std::optional<int> reappear_after_ms;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments (without the program name). Throws UsageError.
Options parse_options(const std::vector<std::string_view>& args);

std::string usage_text();

// "ok\r\n" style text: \r \n \t \0 \\ and \xNN escapes. Throws UsageError.
std::string decode_escapes(std::string_view text);

// "6f6b0d0a" (spaces and colons between bytes allowed) to bytes. Throws UsageError.
std::string decode_hex(std::string_view hex);

}  // namespace board_sim
