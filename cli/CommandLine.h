// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland's command line: which command, its options and the checks on them.

#include "cli/CommandTable.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tidycli {

struct CommandLine {
    std::optional<std::string> text; // help or version, printed instead of running anything
    const CommandRow* row = nullptr;
    std::unique_ptr<Command> command; // holds the command's own options
    SharedOptions options;
};

// The command line's meaning (the program's name left out); throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

} // namespace tidycli
