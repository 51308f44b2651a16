// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland: the window's operations for scripts and batches, on the same core functions.
#include "cleaning/EditAndSave.h"
#include "cleaning/OutcomeMessages.h"
#include "cli/Console.h"
#include "cli/Output.h"
#include "cli/Render.h"
#include "landxml/Document.h"
#include "landxml/Error.h"
#include "landxml/FileRun.h"
#include "landxml/ScanDocument.h"
#include "surfaces/AssignSurfaceColors.h"
#include "surfaces/RenameSurfaces.h"

#include <version.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <map>
#include <new>

using namespace tidycli;

namespace {

constexpr const char* kUsage = R"(usage:
  tidyland scan   [--count-triangles] [--json] FILE...
  tidyland clean  [--triangles] [--curves] (--in-place | -o OUT) [--json] FILE...
  tidyland rename [--name OLD=NEW]... (--in-place | -o OUT) [--json] FILE...
  tidyland color  [--color NAME=INDEX]... (--in-place | -o OUT) [--json] FILE...
  tidyland render [--surface NAME] [--size WxH] -o OUT.png [--json] FILE
  tidyland --help
  tidyland --version
)";

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

struct UsageError {
    std::string message;
};

struct Command {
    std::string name;
    bool json = false;
    bool countTriangles = false;
    bool triangles = false;
    bool curves = false;
    bool inPlace = false;
    std::optional<std::string> output;
    std::vector<std::pair<std::string, std::string>> names; // --name OLD=NEW, in order
    std::map<std::string, std::int32_t> colors;             // --color NAME=INDEX, first wins
    std::vector<std::string> files;
};

// OLD=NEW splits at the first "="; NAME=INDEX at the last, since an index holds none.
std::pair<std::string, std::string> splitPair(const std::string& option, const std::string& text,
                                              bool atLast = false) {
    auto eq = atLast ? text.rfind('=') : text.find('=');
    if (eq == std::string::npos)
        throw UsageError{option + " needs NAME=VALUE, got \"" + text + "\""};
    return {text.substr(0, eq), text.substr(eq + 1)};
}

Command parse(const std::vector<std::string>& args) {
    Command c;
    c.name = args[0];
    const bool writes = c.name == "clean" || c.name == "rename" || c.name == "color";
    if (c.name != "scan" && !writes)
        throw UsageError{"unknown command \"" + c.name + "\""};
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            c.files.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--json") {
            c.json = true;
        } else if (a == "--count-triangles" && c.name == "scan") {
            c.countTriangles = true;
        } else if (a == "--triangles" && c.name == "clean") {
            c.triangles = true;
        } else if (a == "--curves" && c.name == "clean") {
            c.curves = true;
        } else if (a == "--in-place" && writes) {
            c.inPlace = true;
        } else if (a == "-o" && writes) {
            if (c.output)
                throw UsageError{"-o given twice"};
            c.output = value();
            if (c.output->empty())
                throw UsageError{"-o needs a file name, got \"\""};
            if (*c.output == "-")
                throw UsageError{"-o -: the document is not written to standard output, which "
                                 "holds the report; write ./- for a file called \"-\""};
        } else if (a == "--name" && c.name == "rename") {
            c.names.push_back(splitPair(a, value()));
        } else if (a == "--color" && c.name == "color") {
            auto [name, text] = splitPair(a, value(), true);
            std::int32_t index = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
            if (ec != std::errc() || end != text.data() + text.size() || index < -1 || index > 255)
                throw UsageError{"--color needs an INDEX from -1 to 255, got \"" + text + "\""};
            c.colors.emplace(name, index);
        } else {
            throw UsageError{"unknown option \"" + a + "\" for " + c.name};
        }
    }
    if (c.files.empty())
        throw UsageError{"no FILE given"};
    if (writes && c.inPlace == c.output.has_value())
        throw UsageError{c.name + " needs exactly one of --in-place and -o OUT"};
    if (c.output && c.files.size() != 1)
        throw UsageError{"-o OUT takes one FILE only"};
    return c;
}

// Progress for people watching a terminal; silent in pipelines.
void progress(const std::string& file, const char* what) {
    static const bool terminal = errorIsTerminal();
    if (terminal)
        std::cerr << "\r\033[K" << file << ": " << what << std::flush;
}
void progressDone() {
    static const bool terminal = errorIsTerminal();
    if (terminal)
        std::cerr << "\r\033[K" << std::flush;
}

std::string trimBlanks(const std::string& s) {
    auto b = s.find_first_not_of(' ');
    auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

Array strings(const std::vector<std::string>& v) {
    return Array(v.begin(), v.end());
}

Object scan(const Command& c, const std::string& file) {
    progress(file, "loading");
    tidy::ScanCounts counts;
    const tidy::FileRun run = tidy::runOnFile(file, [&](tidy::Document& doc) {
        progress(file, "scanning");
        counts = tidy::ScanDocument(doc, c.countTriangles, {});
        return std::string(); // a scan writes nothing
    });
    if (run == tidy::FileRun::NoFile)
        throw tidy::Error(file + ": no such file");
    Object o{{"file", file},
             {"surfaces", strings(counts.listedNames)},
             {"surfaceCount", counts.surfaceCount}};
    if (c.countTriangles)
        o.emplace_back("triangleCount", counts.triangleCount);
    return o;
}

Object clean(const Command& c, const std::string& file) {
    std::vector<std::string> names;
    std::optional<std::int32_t> surfaceCount;
    tidy::EditAndSaveOptions options{c.triangles, c.curves, c.output.has_value()};
    const tidy::EditAndSaveObserver observer{
        .triangles = {.listSurface = [&](const std::string& name) { names.push_back(name); },
                      .showSurfaceCount = [&](std::int32_t n) { surfaceCount = n; }},
        .chooseSaveFile = [&] { return *c.output; },
    };
    progress(file, "cleaning");
    tidy::EditAndSaveResult r = tidy::EditAndSave(file, options, observer);
    if (r.file == tidy::FileRun::NoFile)
        throw tidy::Error(tidy::noFileToEdit(file));
    Array messages;
    for (const std::string& m : tidy::outcomeMessages(options, r))
        messages.emplace_back(c.json ? m : trimBlanks(m));
    return {{"file", file},
            {"output", r.destination},
            {"surfaces", strings(names)},
            {"surfaceCount", surfaceCount},
            {"removedTriangles", r.removedTriangles},
            {"curveCount", r.curves.curveCount},
            {"adjustedCurves", r.curves.adjustedCurveCount},
            {"radiusDeviations", r.curves.radiusDeviationCount},
            {"possibleDeviations", r.curves.possibleDeviationCount},
            {"messages", messages}};
}

Object rename(const Command& c, const std::string& file) {
    auto ask = [&](const std::string& current) {
        for (const auto& [oldName, newName] : c.names)
            if (oldName == current)
                return tidy::NameAnswer{true, newName};
        return tidy::NameAnswer{false, current};
    };
    progress(file, "renaming");
    std::string output = c.output.value_or(file);
    std::vector<std::string> names;
    const tidy::FileRun run = tidy::runOnFile(file, [&](tidy::Document& doc) {
        const tidy::RenameRun renamed = tidy::RenameSurfaces(doc, {.askName = ask});
        names = renamed.names;
        return renamed.write ? output : std::string();
    });
    if (run == tidy::FileRun::NoFile)
        throw tidy::Error(file + ": no such file");
    return {{"file", file}, {"output", output}, {"surfaces", strings(names)}};
}

Object color(const Command& c, const std::string& file) {
    auto pick = [&](const std::string& name, std::int32_t preset) {
        auto it = c.colors.find(name);
        if (it != c.colors.end())
            return it->second;
        return preset < 0 ? 0 : preset; // what "Select" without a click gives
    };
    progress(file, "assigning colours");
    std::string output = c.output.value_or(file);
    tidy::ColorRun run;
    const tidy::FileRun written = tidy::runOnFile(file, [&](tidy::Document& doc) {
        run = tidy::AssignSurfaceColors(doc, {.pickColor = pick});
        return run.write ? output : std::string();
    });
    if (written == tidy::FileRun::NoFile)
        throw tidy::Error(file + ": no such file");
    Array surfaces;
    for (const tidy::SurfaceColor& s : run.surfaces)
        surfaces.push_back(Object{{"name", s.name}, {"color", s.color}});
    return {{"file", file},
            {"output", written == tidy::FileRun::Written ? Value(output) : Value()},
            {"surfaces", surfaces}};
}

// One FILE's result, or its error (`failed` set) as the report shows it.
Object runFile(const Command& c, const std::string& file, bool& failed) {
    try {
        Object result = c.name == "scan"     ? scan(c, file)
                        : c.name == "clean"  ? clean(c, file)
                        : c.name == "rename" ? rename(c, file)
                                             : color(c, file);
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

int main(int argc, char** argv) {
    const std::vector<std::string> args = startConsole(argc, argv);
    std::ios::sync_with_stdio(false);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "tidyland " << tidy::kVersion << "\n" << std::flush;
        return std::cout ? kSuccess : kFileFailed;
    }
    if (args.size() == 1 && args[0] == "--help") {
        std::cout << kUsage << kHelpNotes << std::flush;
        return std::cout ? kSuccess : kFileFailed;
    }
    if (!args.empty() && args[0] == "render")
        return renderCommand(args, kUsage);
    Command command;
    try {
        if (args.empty())
            throw UsageError{"no command given"};
        command = parse(args);
    } catch (const UsageError& e) {
        std::cerr << "tidyland: " << e.message << "\n" << kUsage;
        return kUsageError;
    }

    int status = kSuccess;
    int reportError = 0;
    for (const std::string& file : command.files) {
        bool failed = false;
        const Object result = runFile(command, file, failed);
        if (failed)
            status = kFileFailed;
        if (failed && !command.json) {
            // Core messages already begin with the file's name.
            const auto& message = std::get<std::string>(result.back().second.v);
            bool named = message.rfind(file + ":", 0) == 0;
            std::cerr << "tidyland: " << (named ? "" : file + ": ") << message << "\n";
            continue;
        }
        if (command.json)
            std::cout << toJson(result) << "\n";
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
