// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands/Command.h"

#include "cli/Console.h"
#include "core/tin/Numbers.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <set>

namespace tidycli {

CLI::Option* addRepeated(CLI::App& sub, const std::string& name, std::vector<std::string>& into,
                         const std::string& type, const std::string& what) {
    return sub.add_option(name, into, what)->option_text(type)->allow_extra_args(false);
}

std::optional<Pair> splitPair(const std::string& text, bool atLast) {
    const auto eq = atLast ? text.rfind('=') : text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Pair{text.substr(0, eq), text.substr(eq + 1)};
}

std::optional<int> decimal(std::string_view text, int least, int most) {
    const auto value = tidy::integerValue(text, {.minus = true, .least = least, .most = most});
    return value ? std::optional<int>(int(*value)) : std::nullopt;
}

std::string got(const std::string& text) {
    return ", got \"" + text + "\"";
}

void refuseTwice(const std::string& option, const std::vector<std::string>& values) {
    if (values.size() > 1)
        throw UsageError{option + " given twice"};
}

std::vector<Pair> distinctPairs(const std::string& option, const std::vector<std::string>& given,
                                bool atLast) {
    std::vector<Pair> pairs;
    std::set<std::string> seen;
    for (const std::string& text : given) {
        pairs.push_back(*splitPair(text, atLast));
        if (!seen.insert(pairs.back().first).second)
            throw UsageError{option + " given twice for \"" + pairs.back().first + "\""};
    }
    return pairs;
}

void progress(const std::string& file, const char* what) {
    static const bool terminal = errorIsTerminal();
    if (terminal)
        std::cerr << "\r\033[K" << tidy::shownText(file) << ": " << what << std::flush;
}

void progressDone() {
    static const bool terminal = errorIsTerminal();
    if (terminal)
        std::cerr << "\r\033[K" << std::flush;
}

tidy::Error noSuchFile(const std::string& file) {
    return tidy::Error(file + ": no such file");
}

tidy::FileRun runOnExistingFile(const std::string& file,
                                const std::function<std::string(tidy::Document&)>& operation) {
    const tidy::FileRun run = tidy::runOnFile(file, operation);
    if (run == tidy::FileRun::NoFile)
        throw noSuchFile(file);
    return run;
}

} // namespace tidycli
