// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Commands.h"

#include "cli/Console.h"
#include "cli/Output.h"
#include "cli/Render.h"
#include "core/cleaning/EditAndSave.h"
#include "core/cleaning/OutcomeMessages.h"
#include "core/landxml/Document.h"
#include "core/landxml/Error.h"
#include "core/landxml/FileRun.h"
#include "core/surfaces/AssignSurfaceColors.h"
#include "core/surfaces/RenameSurfaces.h"
#include "core/surfaces/ScanDocument.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

namespace tidycli {

namespace {

// Progress for people watching a terminal; silent in pipelines.
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

std::string trimBlanks(const std::string& s) {
    auto b = s.find_first_not_of(' ');
    auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
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
    Object o{
        {"file", file}, {"surfaces", counts.listedNames}, {"surfaceCount", counts.surfaceCount}};
    if (c.countTriangles)
        o["triangleCount"] = counts.triangleCount;
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
    Object messages = Object::array();
    for (const std::string& m : tidy::outcomeMessages(options, r))
        messages.push_back(c.json ? m : trimBlanks(m));
    return {{"file", file},
            {"output", r.destination},
            {"surfaces", names},
            {"surfaceCount", surfaceCount ? Object(*surfaceCount) : Object()},
            {"removedTriangles", r.triangles.removedTriangleCount},
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
    return {{"file", file}, {"output", output}, {"surfaces", names}};
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
    Object surfaces = Object::array();
    for (const tidy::SurfaceColor& s : run.surfaces)
        surfaces.push_back({{"name", s.name}, {"color", s.color}});
    return {{"file", file},
            {"output", written == tidy::FileRun::Written ? Object(output) : Object()},
            {"surfaces", surfaces}};
}

// One FILE's result, or its error (`failed` set) as the report shows it.
Object runFile(const Command& c, const std::string& file, bool& failed) {
    try {
        Object result = c.name == "scan"     ? scan(c, file)
                        : c.name == "clean"  ? clean(c, file)
                        : c.name == "rename" ? rename(c, file)
                        : c.name == "color"  ? color(c, file)
                                             : render(c, file);
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

int runFiles(const Command& c) {
    int status = kSuccess;
    int reportError = 0;
    for (const std::string& file : c.files) {
        bool failed = false;
        const Object result = runFile(c, file, failed);
        if (failed)
            status = kFileFailed;
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
