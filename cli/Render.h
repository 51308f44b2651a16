// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland render: one surface in plan view as a PNG.

#include <string_view>

namespace tidycli {

// Runs `tidyland render ...` (argv[1] is "render") with its own options; prints `usage` after
// a usage error. Returns the exit status.
int renderCommand(int argc, char** argv, std::string_view usage);

} // namespace tidycli
