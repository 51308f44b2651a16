// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands of tidyland over the core operations, one FILE after another.

#include "cli/CommandLine.h"

namespace tidycli {

// Runs the command on each of its files and reports each; returns the exit status.
int runFiles(const Command& command);

} // namespace tidycli
