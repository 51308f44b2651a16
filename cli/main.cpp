// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland: the window's operations for scripts and batches, on the same core functions.
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/Output.h"
#include "cli/RunFiles.h"
#include "core/landxml/Error.h"

#include <iostream>

using namespace tidycli;

int main(int argc, char** argv) {
    const std::vector<std::string> args = startConsole(argc, argv);
    std::ios::sync_with_stdio(false);
    CommandLine line;
    try {
        line = parseCommandLine(args);
    } catch (const UsageError& e) {
        std::cerr << "tidyland: " << tidy::shownText(e.message) << "\n" << usage();
        return kUsageError;
    }
    if (line.text) {
        std::cout << *line.text << std::flush;
        return std::cout ? kSuccess : kFileFailed;
    }
    return runFiles(line);
}
