// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland rename: the window's surface renaming, the answers given as --name OLD=NEW.
#include "cli/commands/Command.h"
#include "core/surfaces/RenameSurfaces.h"

#include <CLI/CLI.hpp>

namespace tidycli {

namespace {

std::string nameCheck(const std::string& text) {
    return splitPair(text, false) ? "" : "--name needs NAME=VALUE" + got(text);
}

class Rename final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        addRepeated(sub, "--name", given_, "OLD=NEW",
                    "the surface named OLD gets NEW; one pair an OLD")
            ->check(nameCheck);
    }

    void finish() override { names_ = distinctPairs("--name", given_, false); }

    Object run(const SharedOptions& c, const std::string& file) const override {
        auto ask = [&](const std::string& current) {
            for (const auto& [oldName, newName] : names_)
                if (oldName == current)
                    return tidy::NameAnswer{true, newName};
            return tidy::NameAnswer{false, current};
        };
        progress(file, "renaming");
        std::string output = c.output.value_or(file);
        std::vector<std::string> names;
        runOnExistingFile(file, [&](tidy::Document& doc) {
            const tidy::RenameRun renamed = tidy::RenameSurfaces(doc, {.askName = ask});
            names = renamed.names;
            return renamed.write ? output : std::string();
        });
        return {{"file", file}, {"output", output}, {"surfaces", names}};
    }

private:
    std::vector<std::string> given_;
    std::vector<Pair> names_; // in the order given
};

} // namespace

extern const CommandRow kRenameCommand{
    .name = "rename",
    .usage = "[--name OLD=NEW]... (--in-place | -o OUT) [--json] FILE...",
    .what = "Rename surfaces in each FILE.",
    .writes = Writes::Document,
    .make = makeCommand<Rename>,
};

} // namespace tidycli
