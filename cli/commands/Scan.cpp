// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland scan: the surfaces of each FILE, as the window's scan lists them.
#include "cli/commands/Command.h"
#include "core/surfaces/ScanDocument.h"

#include <CLI/CLI.hpp>

namespace tidycli {

namespace {

class Scan final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        sub.add_flag("--count-triangles", countTriangles_, "count the triangles too");
    }

    Object run(const SharedOptions&, const std::string& file) const override {
        progress(file, "loading");
        tidy::ScanCounts counts;
        runOnExistingFile(file, [&](tidy::Document& doc) {
            progress(file, "scanning");
            counts = tidy::ScanDocument(doc, countTriangles_, {});
            return std::string(); // a scan writes nothing
        });
        Object o{{"file", file},
                 {"surfaces", counts.listedNames},
                 {"surfaceCount", counts.surfaceCount}};
        if (countTriangles_)
            o["triangleCount"] = counts.triangleCount;
        return o;
    }

private:
    bool countTriangles_ = false;
};

} // namespace

extern const CommandRow kScanCommand{
    .name = "scan",
    .usage = "[--count-triangles] [--json] FILE...",
    .what = "List the surfaces of each FILE; writes nothing.",
    .writes = Writes::Nothing,
    .make = makeCommand<Scan>,
};

} // namespace tidycli
