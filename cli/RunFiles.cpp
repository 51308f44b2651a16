// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/RunFiles.h"

#include "cli/Output.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

namespace tidycli {

namespace {

// One FILE's result, or its error (`failed` set) as the report shows it.
Object runFile(const CommandLine& line, const std::string& file, bool& failed) {
    try {
        Object result = line.command->run(line.options, file);
        progressDone();
        return result;
    } catch (const std::bad_alloc&) {
        // Memory runs out while loading a large file; the file is untouched either way.
        progressDone();
        failed = true;
        return {{"file", file}, {"error", file + ": not enough memory to load it"}};
    } catch (const std::exception& e) {
        progressDone();
        failed = true;
        return {{"file", file}, {"error", std::string(e.what())}};
    }
}

} // namespace

int runFiles(const CommandLine& line) {
    const SharedOptions& c = line.options;
    int status = kSuccess;
    int reportError = 0;
    for (const std::string& file : c.files) {
        bool failed = false;
        const Object result = runFile(line, file, failed);
        if (failed)
            status = kFileFailed;
        else if (status == kSuccess && result.value("faults", 0) > 0)
            status = kFaults; // a failed file wins
        if (failed && !c.json) {
            // Core messages already begin with the file's name.
            const auto& message = result["error"].get_ref<const std::string&>();
            bool named = message.rfind(file + ":", 0) == 0;
            std::cerr << "tidyland: " << tidy::shownText((named ? "" : file + ": ") + message)
                      << "\n";
            continue;
        }
        if (c.json)
            std::cout << jsonLine(result) << "\n";
        else
            writeReport(std::cout, result);
        if (!(std::cout << std::flush) && reportError == 0)
            reportError = errno ? errno : EIO;
    }
    if (reportError != 0) {
        // The files are done; the report of them is not, and a script must not take it as read.
        std::cerr << "tidyland: cannot write the report to standard output: "
                  << std::strerror(reportError) << "\n";
        return kFileFailed;
    }
    return status;
}

} // namespace tidycli
