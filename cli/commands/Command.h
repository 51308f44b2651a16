// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One command of tidyland: the options it declares, the checks on them, and its run on one FILE.
// Each command is one file here and one row of the table (cli/CommandTable.cpp).

#include "cli/Output.h"
#include "core/landxml/Error.h"
#include "core/landxml/FileRun.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace tidycli {

// A wrong command line: tidyland prints the message and the usage, and exits with 2.
struct UsageError {
    std::string message;
};

// What a command writes, and so whether it takes --in-place or -o OUT (the parser declares and
// checks those options for it).
enum class Writes {
    Nothing,  // the report only
    Document, // each FILE in place or the one FILE to -o OUT
    Picture,  // the one FILE drawn into -o OUT.png
};

// The options every command shares, as the parser leaves them.
struct SharedOptions {
    bool json = false;
    bool inPlace = false;
    std::optional<std::string> output; // -o
    std::vector<std::string> files;
};

// A command as the parser made it, holding the values of its own options.
class Command {
public:
    virtual ~Command() = default;
    // Declares the command's own options on its subcommand; their values land in the command.
    virtual void addOptions(CLI::App& sub) = 0;
    // Checks the options together once each is read, and takes their values; throws UsageError.
    virtual void finish() {}
    // Runs on one FILE and gives its report; throws tidy::Error for a file that fails.
    virtual Object run(const SharedOptions& options, const std::string& file) const = 0;
};

// A command's row of the table.
struct CommandRow {
    std::string_view name;
    std::string_view usage; // the line of the usage block after the name
    std::string_view what;  // the first line of the command's help
    Writes writes;
    std::unique_ptr<Command> (*make)();
};

template <class C> std::unique_ptr<Command> makeCommand() {
    return std::make_unique<C>();
}

// Helpers for the commands' options.
using Pair = std::pair<std::string, std::string>;

// One value each time the option is given, so that a FILE after it stays a FILE.
CLI::Option* addRepeated(CLI::App& sub, const std::string& name, std::vector<std::string>& into,
                         const std::string& type, const std::string& what);
// OLD=NEW splits at the first "="; NAME=INDEX at the last, since an index holds none.
std::optional<Pair> splitPair(const std::string& text, bool atLast);
// A decimal integer from `least` to `most`, nothing else around it.
std::optional<int> decimal(std::string_view text, int least, int most);
// The tail of a message quoting the value that was given.
std::string got(const std::string& text);
// Refuses an option given more than once.
void refuseTwice(const std::string& option, const std::vector<std::string>& values);
// The NAME=VALUE pairs of an option, checked one by one already, in the order given; two for
// one NAME are refused, as the order of the arguments would choose between them.
std::vector<Pair> distinctPairs(const std::string& option, const std::vector<std::string>& given,
                                bool atLast);

// Progress for people watching a terminal; silent in pipelines.
void progress(const std::string& file, const char* what);
void progressDone();

// The error of a FILE that holds nothing to read.
tidy::Error noSuchFile(const std::string& file);
// The core's runOnFile, a missing FILE thrown as the error it is for every command.
tidy::FileRun runOnExistingFile(const std::string& file,
                                const std::function<std::string(tidy::Document&)>& operation);

} // namespace tidycli
