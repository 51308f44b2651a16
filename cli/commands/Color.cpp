// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland color: the window's colour assignment, the picks given as --color NAME=INDEX.
#include "cli/commands/Command.h"
#include "core/surfaces/AssignSurfaceColors.h"

#include <CLI/CLI.hpp>

#include <map>

namespace tidycli {

namespace {

std::string colorCheck(const std::string& text) {
    const auto pair = splitPair(text, true);
    if (!pair)
        return "--color needs NAME=VALUE" + got(text);
    return decimal(pair->second, -1, 255)
               ? ""
               : "--color needs an INDEX from -1 to 255" + got(pair->second);
}

class Color final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        addRepeated(sub, "--color", given_, "NAME=INDEX",
                    "the surface NAME gets INDEX (-1 to 255); one pair a NAME")
            ->check(colorCheck);
    }

    void finish() override {
        for (const auto& [name, index] : distinctPairs("--color", given_, true))
            colors_.emplace(name, *decimal(index, -1, 255));
    }

    Object run(const SharedOptions& c, const std::string& file) const override {
        auto pick = [&](const std::string& name, std::int32_t preset) {
            auto it = colors_.find(name);
            if (it != colors_.end())
                return it->second;
            return preset < 0 ? 0 : preset; // what "Select" without a click gives
        };
        progress(file, "assigning colours");
        std::string output = c.output.value_or(file);
        tidy::ColorRun run;
        const tidy::FileRun written = runOnExistingFile(file, [&](tidy::Document& doc) {
            run = tidy::AssignSurfaceColors(doc, {.pickColor = pick});
            return run.write ? output : std::string();
        });
        Object surfaces = Object::array();
        for (const tidy::SurfaceColor& s : run.surfaces)
            surfaces.push_back({{"name", s.name}, {"color", s.color}});
        return {{"file", file},
                {"output", written == tidy::FileRun::Written ? Object(output) : Object()},
                {"surfaces", surfaces}};
    }

private:
    std::vector<std::string> given_;
    std::map<std::string, std::int32_t> colors_;
};

} // namespace

extern const CommandRow kColorCommand{
    .name = "color",
    .usage = "[--color NAME=INDEX]... (--in-place | -o OUT) [--json] FILE...",
    .what = "Assign surface colours in each FILE.",
    .writes = Writes::Document,
    .make = makeCommand<Color>,
};

} // namespace tidycli
