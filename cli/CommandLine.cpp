// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <version.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <iterator>
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
const std::string_view kValueOptions[] = {"-o", "--name", "--color", "--surface", "--size"};

using Pair = std::pair<std::string, std::string>;

// OLD=NEW splits at the first "="; NAME=INDEX at the last, since an index holds none.
std::optional<Pair> splitPair(const std::string& text, bool atLast) {
    const auto eq = atLast ? text.rfind('=') : text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Pair{text.substr(0, eq), text.substr(eq + 1)};
}

std::optional<int> decimal(std::string_view text, int least, int most) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < least ||
        value > most)
        return std::nullopt;
    return value;
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
    sub.allow_extras(); // an unknown option is reported by checkOptions, in our words
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
    addRepeated(rename, "--name", in.names, "OLD=NEW", "the surface named OLD gets NEW")
        ->check(nameCheck);
    addWriteMode(rename, in);
    CLI::App& color = addCommand(app, "color", "Assign surface colours in each FILE.", in);
    addRepeated(color, "--color", in.colors, "NAME=INDEX",
                "the surface NAME gets INDEX (-1 to 255); the first pair for a name wins")
        ->check(colorCheck);
    addWriteMode(color, in);
    CLI::App& render = addCommand(app, "render", "Draw one surface of FILE as a PNG.", in);
    addRepeated(render, "--surface", in.surfaces, "NAME", "the surface to draw (the first)");
    addRepeated(render, "--size", in.sizes, "WxH", "the picture's size (1600x1200)")
        ->check(sizeCheck);
    addRepeated(render, "-o", in.outputs, "OUT.png", "the picture to write")->check(outputCheck);
}

// Arguments after "--" are files whatever they look like, so only those before it are parsed.
// An option's value may be "--" itself.
std::pair<std::vector<std::string>, std::vector<std::string>>
splitAtDoubleHyphen(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), args[i]) !=
            std::end(kValueOptions)) {
            ++i;
        } else if (args[i] == "--") {
            return {{args.begin(), args.begin() + std::ptrdiff_t(i)},
                    {args.begin() + std::ptrdiff_t(i) + 1, args.end()}};
        }
    }
    return {args, {}};
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

void checkOptions(const CLI::App& sub, const Collected& in) {
    std::vector<std::string> unknown = sub.remaining();
    for (const std::string& file : in.command.files)
        if (file.size() > 1 && file[0] == '-')
            unknown.push_back(file);
    if (!unknown.empty())
        throw UsageError{"unknown option \"" + unknown.front() + "\" for " + sub.get_name()};
    if (in.outputs.size() > 1)
        throw UsageError{"-o given twice"};
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
        c.surface = in.surfaces.back();
    if (!in.sizes.empty())
        std::tie(c.width, c.height) = *pictureSize(in.sizes.back());
    return c;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"no command given"};
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
    auto [parsed, files] = splitAtDoubleHyphen(args);
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
    checkOptions(sub, in);
    Command command = finish(in, std::move(files));
    checkFiles(command);
    return {std::nullopt, std::move(command)};
}

} // namespace tidycli
