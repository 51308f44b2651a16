// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A command of tidyland over its files, one FILE after another, each reported.

#include "cli/CommandLine.h"

namespace tidycli {

// Runs the command on each of its files and reports each; returns the exit status.
int runFiles(const CommandLine& line);

} // namespace tidycli
