// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland check: what is wrong with each surface of each FILE as a triangulated surface.
#include "cli/commands/Command.h"
#include "core/cleaning/CheckSurfaces.h"
#include "core/tin/Numbers.h"

#include <CLI/CLI.hpp>

namespace tidycli {

namespace {

Object findingsOf(const std::vector<tidy::Finding>& findings) {
    Object list = Object::array();
    for (const tidy::Finding& f : findings) {
        Object examples = Object::array();
        for (const tidy::FindingExample& e : f.examples) {
            Object example{{"line", e.line}};
            if (e.face > 0)
                example["face"] = e.face;
            if (e.point) {
                // An id is a number; what a bad point gives instead stays text.
                const auto id = tidy::integerValue(*e.point, tidy::kPointId);
                example["point"] = id ? Object(*id) : Object(*e.point);
            }
            examples.push_back(example);
        }
        list.push_back({{"kind", tidy::findingName(f.kind)},
                        {"severity", tidy::isFault(f.kind) ? "fault" : "info"},
                        {"count", f.count},
                        {"examples", examples}});
    }
    return list;
}

class Check final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        addRepeated(sub, "--surface", surfaces_, "NAME", "check only the surfaces named NAME");
    }

    void finish() override { refuseTwice("--surface", surfaces_); }

    Object run(const SharedOptions&, const std::string& file) const override {
        progress(file, "loading");
        tidy::CheckRun run;
        const std::optional<std::string> only =
            surfaces_.empty() ? std::nullopt : std::optional(surfaces_.front());
        runOnExistingFile(file, [&](tidy::Document& doc) {
            progress(file, "checking");
            run = tidy::CheckSurfaces(doc, only, {});
            return std::string(); // a check writes nothing
        });
        if (only && run.surfaces.empty())
            throw tidy::Error(file + ": no surface named " + tidy::quotedText(*only));
        Object surfaces = Object::array();
        for (const tidy::SurfaceCheck& s : run.surfaces)
            surfaces.push_back({{"name", s.name},
                                {"points", s.points},
                                {"faces", s.faces},
                                {"findings", findingsOf(s.findings)}});
        return {{"file", file},
                {"surfaces", surfaces},
                {"findings", findingsOf(run.curves)},
                {"faults", run.faults}};
    }

private:
    std::vector<std::string> surfaces_; // at most one
};

} // namespace

extern const CommandRow kCheckCommand{
    .name = "check",
    .usage = "[--surface NAME] [--json] FILE...",
    .what = "Report what is wrong with the surfaces of each FILE; writes nothing.",
    .writes = Writes::Nothing,
    .make = makeCommand<Check>,
};

} // namespace tidycli
