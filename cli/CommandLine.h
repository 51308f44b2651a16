// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland's command line: the commands, their options and the checks on them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tidycli {

// The usage block printed after every command-line error.
extern const char* const kUsage;

struct UsageError {
    std::string message;
};

struct Command {
    std::string name;
    bool json = false;
    bool countTriangles = false;
    bool triangles = false;
    bool curves = false;
    bool inPlace = false;
    std::optional<std::string> output;
    std::vector<std::pair<std::string, std::string>> names; // --name OLD=NEW, in order
    std::map<std::string, std::int32_t> colors;             // --color NAME=INDEX
    std::optional<std::string> surface;                     // render --surface
    int width = 1600;                                       // render --size
    int height = 1200;
    std::vector<std::string> files;
};

struct CommandLine {
    std::optional<std::string> text; // help or version, printed instead of running anything
    Command command;
};

// The command line's meaning (the program's name left out); throws UsageError.
CommandLine parseCommandLine(const std::vector<std::string>& args);

} // namespace tidycli
