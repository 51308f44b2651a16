// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland render: one surface in plan view as a PNG.

#include <string>
#include <string_view>
#include <vector>

namespace tidycli {

// Runs `tidyland render ...` (args[0] is "render", the program's name left out) with its own
// options; prints `usage` after a usage error. Returns the exit status.
int renderCommand(const std::vector<std::string>& args, std::string_view usage);

} // namespace tidycli
