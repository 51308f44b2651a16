// SPDX-License-Identifier: GPL-3.0-or-later
// The console as tidyland needs it on every system: arguments and output in UTF-8.
#pragma once

#include <string>
#include <vector>

namespace tidycli {

// Readies standard output and error for UTF-8 text, written byte for byte, and returns the
// command line's arguments (without the program's name) as UTF-8.
std::vector<std::string> startConsole(int argc, char** argv);

// Whether standard error is a terminal that takes "\r" and "\033[K" to redraw a line.
bool errorIsTerminal();

} // namespace tidycli
