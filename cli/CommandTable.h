// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland's commands, one row each: the usage text, the parser, the dispatch and the tests
// read them from here.

#include "cli/commands/Command.h"

#include <span>
#include <string>
#include <string_view>

namespace tidycli {

// The rows in the order of the usage block.
std::span<const CommandRow* const> commandTable();

// The row of the command called `name`, or nullptr.
const CommandRow* findCommand(std::string_view name);

// The command's line of the usage block, "  tidyland NAME ...\n".
std::string usageLine(const CommandRow& row);

// The usage block printed after every command-line error.
const std::string& usage();

} // namespace tidycli
