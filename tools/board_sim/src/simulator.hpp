// The board's main loop: serves the pty, links it, logs, drops and brings it back.
#pragma once

#include "options.hpp"

namespace board_sim {

// Runs until SIGTERM/SIGINT/SIGHUP. Returns the process exit status.
int run_simulator(const Options& options);

}  // namespace board_sim
