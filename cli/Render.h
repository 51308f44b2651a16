// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// tidyland render: one surface in plan view as a PNG.

#include "cli/CommandLine.h"
#include "cli/Output.h"

#include <string>

namespace tidycli {

// Draws the surface the command names (the first without --surface) of `file` into its -o
// file; throws tidy::Error when there is nothing to draw.
Object render(const Command& command, const std::string& file);

} // namespace tidycli
