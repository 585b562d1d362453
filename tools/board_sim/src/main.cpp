// board_sim: stands in for the bird's controller board on a pseudo-terminal.
#include <cstdio>
#include <string_view>
#include <vector>

#include "options.hpp"
#include "simulator.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    board_sim::Options options;
    try {
        options = board_sim::parse_options(args);
    } catch (const board_sim::UsageError& e) {
        std::fprintf(stderr, "board_sim: %s\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(board_sim::usage_text().c_str(), stdout);
        return 0;
    }
    return board_sim::run_simulator(options);
}
