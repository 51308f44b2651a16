// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Console.h"

#include <unistd.h>

namespace tidycli {

// The terminal's own encoding is the user's business; file names pass through as they are.
std::vector<std::string> startConsole(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool errorIsTerminal() {
    return isatty(STDERR_FILENO);
}

} // namespace tidycli
