// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland clean: the window's edit and save, its two repairs chosen by flags.
#include "cli/commands/Command.h"
#include "core/cleaning/EditAndSave.h"
#include "core/cleaning/OutcomeMessages.h"
#include "core/landxml/FileRun.h"

#include <CLI/CLI.hpp>

namespace tidycli {

namespace {

std::string trimBlanks(const std::string& s) {
    auto b = s.find_first_not_of(' ');
    auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

class Clean final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        sub.add_flag("--triangles", triangles_, "remove triangles outside boundary");
        sub.add_flag("--curves", curves_, "correct curves for missing \"rot\" attribute");
        sub.add_flag("--orphan-points", orphanPoints_,
                     "after the triangle removal, remove the points no face names");
    }

    Object run(const SharedOptions& c, const std::string& file) const override {
        std::vector<std::string> names;
        std::optional<std::int32_t> surfaceCount;
        tidy::EditAndSaveOptions options{triangles_, curves_, c.output.has_value(), orphanPoints_};
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
        Object report{{"file", file},
                      {"output", r.destination},
                      {"surfaces", names},
                      {"surfaceCount", surfaceCount ? Object(*surfaceCount) : Object()},
                      {"removedTriangles", r.triangles.removedTriangleCount}};
        // The plain report shows the count only when it was asked for.
        if (c.json || orphanPoints_)
            report["removedPoints"] = r.points.removedPointCount;
        report.update(Object{{"curveCount", r.curves.curveCount},
                             {"adjustedCurves", r.curves.adjustedCurveCount},
                             {"radiusDeviations", r.curves.radiusDeviationCount},
                             {"possibleDeviations", r.curves.possibleDeviationCount},
                             {"messages", messages}});
        return report;
    }

private:
    bool triangles_ = false;
    bool curves_ = false;
    bool orphanPoints_ = false;
};

} // namespace

extern const CommandRow kCleanCommand{
    .name = "clean",
    .usage = "[--triangles] [--curves] [--orphan-points] (--in-place | -o OUT) [--json] FILE...",
    .what = "Repair each FILE and save it.",
    .writes = Writes::Document,
    .make = makeCommand<Clean>,
};

} // namespace tidycli
