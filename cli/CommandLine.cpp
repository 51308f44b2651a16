// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "core/tin/Numbers.h"

#include <version.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>
#include <set>
#include <string_view>

namespace tidycli {

const char* const kUsage = R"(usage:
  tidyland scan   [--count-triangles] [--json] FILE...
  tidyland clean  [--triangles] [--curves] (--in-place | -o OUT) [--json] FILE...
  tidyland rename [--name OLD=NEW]... (--in-place | -o OUT) [--json] FILE...
  tidyland color  [--color NAME=INDEX]... (--in-place | -o OUT) [--json] FILE...
  tidyland render [--surface NAME] [--size WxH] -o OUT.png [--json] FILE
  tidyland --help
  tidyland --version
)";

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

constexpr int kLargestSide = 16384;
const std::string_view kCommands[] = {"scan", "clean", "rename", "color", "render"};

using Pair = std::pair<std::string, std::string>;

// OLD=NEW splits at the first "="; NAME=INDEX at the last, since an index holds none.
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

std::optional<std::pair<int, int>> pictureSize(std::string_view text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const auto width = decimal(text.substr(0, x), 1, kLargestSide);
    const auto height = decimal(text.substr(x + 1), 1, kLargestSide);
    if (!width || !height)
        return std::nullopt;
    return std::pair{*width, *height};
}

std::string got(const std::string& text) {
    return ", got \"" + text + "\"";
}

// The checks give the message of a usage error, or "" for a good value.
std::string nameCheck(const std::string& text) {
    return splitPair(text, false) ? "" : "--name needs NAME=VALUE" + got(text);
}

std::string colorCheck(const std::string& text) {
    const auto pair = splitPair(text, true);
    if (!pair)
        return "--color needs NAME=VALUE" + got(text);
    return decimal(pair->second, -1, 255)
               ? ""
               : "--color needs an INDEX from -1 to 255" + got(pair->second);
}

std::string outputCheck(const std::string& text) {
    if (text.empty())
        return "-o needs a file name, got \"\"";
    if (text == "-")
        return "-o -: the document is not written to standard output, which holds the report; "
               "write ./- for a file called \"-\"";
    return "";
}

std::string sizeCheck(const std::string& text) {
    return pictureSize(text)
               ? ""
               : "--size needs WxH, each from 1 to " + std::to_string(kLargestSide) + got(text);
}

// A command's help begins with its line of the usage block.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_description(const CLI::App*) const override { return ""; }
    std::string make_usage(const CLI::App* app, std::string) const override {
        const std::string usage = kUsage;
        const std::size_t line = usage.find("  tidyland " + app->get_name() + " ");
        return "usage:\n" + usage.substr(line, usage.find('\n', line) + 1 - line) + "\n" +
               app->get_description() + "\n";
    }
};

// What the options collect, before the checks that need them all.
struct Collected {
    Command command;
    std::vector<std::string> outputs, names, colors, surfaces, sizes;
};

CLI::Option* addRepeated(CLI::App& sub, const std::string& name, std::vector<std::string>& into,
                         const std::string& type, const std::string& what) {
    // One value each time the option is given, so that a FILE after it stays a FILE.
    return sub.add_option(name, into, what)->option_text(type)->allow_extra_args(false);
}

CLI::App& addCommand(CLI::App& app, const std::string& name, const std::string& what,
                     Collected& in) {
    CLI::App& sub = *app.add_subcommand(name, what);
    sub.add_flag("--json", in.command.json, "one JSON object per FILE and line on stdout");
    sub.add_option("FILE", in.command.files, "the LandXML files")->type_name("");
    return sub;
}

void addWriteMode(CLI::App& sub, Collected& in) {
    sub.add_flag("--in-place", in.command.inPlace, "replace each FILE");
    addRepeated(sub, "-o", in.outputs, "OUT", "write the one FILE's result to OUT")
        ->check(outputCheck);
}

void addCommands(CLI::App& app, Collected& in) {
    Command& c = in.command;
    CLI::App& scan = addCommand(app, "scan", "List the surfaces of each FILE; writes nothing.", in);
    scan.add_flag("--count-triangles", c.countTriangles, "count the triangles too");
    CLI::App& clean = addCommand(app, "clean", "Repair each FILE and save it.", in);
    clean.add_flag("--triangles", c.triangles, "remove triangles outside boundary");
    clean.add_flag("--curves", c.curves, "correct curves for missing \"rot\" attribute");
    addWriteMode(clean, in);
    CLI::App& rename = addCommand(app, "rename", "Rename surfaces in each FILE.", in);
    addRepeated(rename, "--name", in.names, "OLD=NEW",
                "the surface named OLD gets NEW; one pair an OLD")
        ->check(nameCheck);
    addWriteMode(rename, in);
    CLI::App& color = addCommand(app, "color", "Assign surface colours in each FILE.", in);
    addRepeated(color, "--color", in.colors, "NAME=INDEX",
                "the surface NAME gets INDEX (-1 to 255); one pair a NAME")
        ->check(colorCheck);
    addWriteMode(color, in);
    CLI::App& render = addCommand(app, "render", "Draw one surface of FILE as a PNG.", in);
    addRepeated(render, "--surface", in.surfaces, "NAME", "the surface to draw (the first)");
    addRepeated(render, "--size", in.sizes, "WxH", "the picture's size (1600x1200)")
        ->check(sizeCheck);
    addRepeated(render, "-o", in.outputs, "OUT.png", "the picture to write")->check(outputCheck);
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

void checkOptions(const Collected& in) {
    const std::pair<const char*, const std::vector<std::string>&> single[] = {
        {"-o", in.outputs}, {"--surface", in.surfaces}, {"--size", in.sizes}};
    for (const auto& [option, values] : single)
        if (values.size() > 1)
            throw UsageError{std::string(option) + " given twice"};
    // Two answers for one surface would leave the choice to the order of the arguments.
    const auto refuseTwoFor = [](const char* option, const std::vector<std::string>& pairs,
                                 bool atLast) {
        std::set<std::string> seen;
        for (const std::string& text : pairs)
            if (const std::string name = splitPair(text, atLast)->first; !seen.insert(name).second)
                throw UsageError{std::string(option) + " given twice for \"" + name + "\""};
    };
    refuseTwoFor("--name", in.names, false);
    refuseTwoFor("--color", in.colors, true);
}

void checkFiles(const Command& c) {
    const bool writes = c.name == "clean" || c.name == "rename" || c.name == "color";
    if (c.name == "render" && c.files.size() > 1)
        throw UsageError{"render takes one FILE only"};
    if (c.files.empty())
        throw UsageError{"no FILE given"};
    if (writes && c.inPlace == c.output.has_value())
        throw UsageError{c.name + " needs exactly one of --in-place and -o OUT"};
    if (writes && c.output && c.files.size() != 1)
        throw UsageError{"-o OUT takes one FILE only"};
    if (c.name == "render" && !c.output)
        throw UsageError{"render needs -o OUT.png"};
}

// The collected values, checked one by one already, as the command runs them.
Command finish(Collected& in, std::vector<std::string> files) {
    Command c = std::move(in.command);
    c.files.insert(c.files.end(), files.begin(), files.end());
    if (!in.outputs.empty())
        c.output = in.outputs.front();
    for (const std::string& text : in.names)
        c.names.push_back(*splitPair(text, false));
    for (const std::string& text : in.colors) {
        const Pair pair = *splitPair(text, true);
        c.colors.emplace(pair.first, *decimal(pair.second, -1, 255));
    }
    if (!in.surfaces.empty())
        c.surface = in.surfaces.front();
    if (!in.sizes.empty())
        std::tie(c.width, c.height) = *pictureSize(in.sizes.front());
    return c;
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
    if (args[0] != "--help" && args[0] != "--version" &&
        std::find(std::begin(kCommands), std::end(kCommands), args[0]) == std::end(kCommands))
        throw UsageError{"unknown command \"" + args[0] + "\""};
    CLI::App app("The window's operations for scripts and batches.", "tidyland");
    app.allow_windows_style_options(false); // "/path" is a file on every system
    app.set_help_flag("--help", "print this help");
    app.set_version_flag("--version", std::string(tidy::kVersion));
    app.require_subcommand(0, 1);
    app.formatter(std::make_shared<HelpFormatter>());
    Collected in;
    addCommands(app, in);
    std::vector<std::string> parsed = args, files;
    if (args[0] != "--help" && args[0] != "--version")
        std::tie(parsed, files) = readArguments(args, *app.get_subcommand(args[0]));
    try {
        app.parse(std::vector<std::string>(parsed.rbegin(), parsed.rend()));
    } catch (const CLI::CallForHelp&) {
        const auto chosen = app.get_subcommands();
        return {chosen.empty() ? std::string(kUsage) + kHelpNotes : chosen.front()->help(), {}};
    } catch (const CLI::CallForVersion&) {
        return {"tidyland " + std::string(tidy::kVersion) + "\n", {}};
    } catch (const CLI::ParseError&) {
        rethrowInOurWords(parsed);
    }
    const CLI::App& sub = *app.get_subcommands().front();
    in.command.name = sub.get_name();
    checkOptions(in);
    Command command = finish(in, std::move(files));
    checkFiles(command);
    return {std::nullopt, std::move(command)};
}

} // namespace tidycli
