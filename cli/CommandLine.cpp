// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <version.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <set>
#include <string_view>

namespace tidycli {

namespace {

constexpr const char* kHelpNotes = R"(
-o OUT names a file; "-o -" (standard output) is not taken, as the report goes there: write
./- for a file called "-". A destination that is not a regular file (a device, FIFO, socket,
anything under /dev, /proc or /sys), a file you may not write and a file with several hard
links are refused, and so is a file that changed on disk while it was being worked on.

Each option is given once at most; --name and --color once for each OLD or NAME. A flag takes
no value: --triangles=false is refused, leave the flag out instead.

The report and the messages show text from a file, and file names, so that it cannot steer the
terminal: a carriage return and a line feed as \r and \n, the other control characters, DEL
and each byte that is not part of valid UTF-8 as \xHH, U+0080 to U+009F as \u00HH (a
backslash itself stays as it is). A value quoted in a message is cut after 60 bytes. --json
gives every name exactly.

--json writes one JSON object per FILE and line, always valid UTF-8. A byte of a file name (or
of a message quoting one) that is not part of valid UTF-8 is written as the private-use
character U+EF80 + (byte - 0x80), so byte 0xE9 becomes U+EFE9; mapping U+EF80..U+EFFF back to
bytes 0x80..0xFF gives the name again (only a name holding those characters itself is
ambiguous).

Exit status: 0 when every file succeeded; 1 when a file failed (it is left as it was), memory
ran out, or the report could not be written; 2 for a wrong command line.
)";

std::string outputCheck(const std::string& text) {
    if (text.empty())
        return "-o needs a file name, got \"\"";
    if (text == "-")
        return "-o -: the document is not written to standard output, which holds the report; "
               "write ./- for a file called \"-\"";
    return "";
}

// A command's help begins with its line of the usage block.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_description(const CLI::App*) const override { return ""; }
    std::string make_usage(const CLI::App* app, std::string) const override {
        return "usage:\n" + usageLine(*findCommand(app->get_name())) + "\n" +
               app->get_description() + "\n";
    }
};

// Every command's subcommand, its own options between the shared ones, as its help lists them;
// the commands come back in the table's order.
std::vector<std::unique_ptr<Command>> addCommands(CLI::App& app, SharedOptions& options,
                                                  std::vector<std::string>& outputs) {
    std::vector<std::unique_ptr<Command>> commands;
    for (const CommandRow* row : commandTable()) {
        CLI::App& sub = *app.add_subcommand(std::string(row->name), std::string(row->what));
        sub.add_flag("--json", options.json, "one JSON object per FILE and line on stdout");
        sub.add_option("FILE", options.files, "the LandXML files")->type_name("");
        commands.push_back(row->make());
        commands.back()->addOptions(sub);
        if (row->writes == Writes::Document) {
            sub.add_flag("--in-place", options.inPlace, "replace each FILE");
            addRepeated(sub, "-o", outputs, "OUT", "write the one FILE's result to OUT")
                ->check(outputCheck);
        } else if (row->writes == Writes::Picture) {
            addRepeated(sub, "-o", outputs, "OUT.png", "the picture to write")->check(outputCheck);
        }
    }
    return commands;
}

// The arguments before "--" as CLI11 is to read them, and those after it, which are files
// whatever they look like. Each argument that looks like an option must be one of the
// command's: a flag without a value ("--triangles=false" would turn a repair off in silence), or
// an option whose value follows, as "--size=WxH" or "--size WxH" (even "--" is a value there).
// "--name=" is split here, as CLI11 would take the next argument for its empty value.
std::pair<std::vector<std::string>, std::vector<std::string>>
readArguments(const std::vector<std::string>& args, const CLI::App& command) {
    std::vector<std::string> parsed{args[0]};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            return {parsed, {args.begin() + std::ptrdiff_t(i) + 1, args.end()}};
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.push_back(arg);
            continue;
        }
        const bool isLong = arg[1] == '-';
        const std::size_t eq = isLong ? arg.find('=') : std::string::npos;
        const std::string name = isLong ? arg.substr(0, eq) : arg.substr(0, 2); // -oOUT: -o
        const CLI::Option* option = command.get_option_no_throw(name);          // --help included
        if (!option || (isLong && name.size() < 3) || (!isLong && name != "-o"))
            throw UsageError{"unknown option \"" + arg + "\" for " + command.get_name()};
        if (option->get_items_expected_min() == 0) {
            if (name != arg)
                throw UsageError{name + " takes no value" + got(arg)};
            parsed.push_back(arg);
        } else if (eq != std::string::npos) {
            parsed.insert(parsed.end(), {name, arg.substr(eq + 1)});
        } else {
            parsed.push_back(arg);
            if (name == arg && i + 1 < args.size())
                parsed.push_back(args[++i]);
        }
    }
    return {parsed, {}};
}

// CLI11's errors in this program's words: a value's own check says what is wrong with it.
[[noreturn]] void rethrowInOurWords(const std::vector<std::string>& parsed) {
    try {
        throw;
    } catch (const CLI::ArgumentMismatch&) {
        throw UsageError{parsed.back() + " needs a value"}; // only the last option can lack one
    } catch (const CLI::ValidationError& e) {
        const std::string message = e.what(); // "OPTION: what the check said"
        throw UsageError{message.substr(message.find(": ") + 2)};
    } catch (const CLI::ParseError& e) {
        throw UsageError{e.what()};
    }
}

void checkFiles(const CommandRow& row, const SharedOptions& c) {
    const std::string name(row.name);
    if (row.writes == Writes::Picture && c.files.size() > 1)
        throw UsageError{name + " takes one FILE only"};
    if (c.files.empty())
        throw UsageError{"no FILE given"};
    if (row.writes == Writes::Document && c.inPlace == c.output.has_value())
        throw UsageError{name + " needs exactly one of --in-place and -o OUT"};
    if (row.writes == Writes::Document && c.output && c.files.size() != 1)
        throw UsageError{"-o OUT takes one FILE only"};
    if (row.writes == Writes::Picture && !c.output)
        throw UsageError{name + " needs -o OUT.png"};
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& given) {
    if (given.empty())
        throw UsageError{"no command given"};
    if (given[0] == "--version" && given.size() > 1)
        throw UsageError{"--version takes nothing after it"};
    std::vector<std::string> args = given;
    if (given[0] == "--help" && given.size() > 1) // --help COMMAND is COMMAND --help
        std::swap(args[0], args[1]);
    if (args[0] != "--help" && args[0] != "--version" && !findCommand(args[0]))
        throw UsageError{"unknown command \"" + args[0] + "\""};
    CLI::App app("The window's operations for scripts and batches.", "tidyland");
    app.allow_windows_style_options(false); // "/path" is a file on every system
    app.set_help_flag("--help", "print this help");
    app.set_version_flag("--version", std::string(tidy::kVersion));
    app.require_subcommand(0, 1);
    app.formatter(std::make_shared<HelpFormatter>());
    SharedOptions options;
    std::vector<std::string> outputs;
    std::vector<std::unique_ptr<Command>> commands = addCommands(app, options, outputs);
    std::vector<std::string> parsed = args, files;
    if (args[0] != "--help" && args[0] != "--version")
        std::tie(parsed, files) = readArguments(args, *app.get_subcommand(args[0]));
    try {
        app.parse(std::vector<std::string>(parsed.rbegin(), parsed.rend()));
    } catch (const CLI::CallForHelp&) {
        const auto chosen = app.get_subcommands();
        return {chosen.empty() ? usage() + kHelpNotes : chosen.front()->help(), nullptr, {}, {}};
    } catch (const CLI::CallForVersion&) {
        return {"tidyland " + std::string(tidy::kVersion) + "\n", nullptr, {}, {}};
    } catch (const CLI::ParseError&) {
        rethrowInOurWords(parsed);
    }
    const auto table = commandTable();
    const auto row = std::find(table.begin(), table.end(),
                               findCommand(app.get_subcommands().front()->get_name()));
    CommandLine line{std::nullopt, *row, std::move(commands[std::size_t(row - table.begin())]),
                     std::move(options)};
    refuseTwice("-o", outputs);
    line.command->finish();
    line.options.files.insert(line.options.files.end(), files.begin(), files.end());
    if (!outputs.empty())
        line.options.output = outputs.front();
    checkFiles(*line.row, line.options);
    return line;
}

} // namespace tidycli
