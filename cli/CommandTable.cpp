// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandTable.h"

#include <algorithm>

namespace tidycli {

// Each command's row lives in its file under commands/.
extern const CommandRow kScanCommand, kCleanCommand, kRenameCommand, kColorCommand, kRenderCommand,
    kCheckCommand;

namespace {

const CommandRow* const kTable[] = {&kScanCommand,  &kCleanCommand,  &kRenameCommand,
                                    &kColorCommand, &kRenderCommand, &kCheckCommand};

} // namespace

std::span<const CommandRow* const> commandTable() {
    return kTable;
}

const CommandRow* findCommand(std::string_view name) {
    for (const CommandRow* row : kTable)
        if (row->name == name)
            return row;
    return nullptr;
}

std::string usageLine(const CommandRow& row) {
    std::size_t width = 0; // the names padded to the longest, so the options line up
    for (const CommandRow* r : kTable)
        width = std::max(width, r->name.size());
    std::string name(row.name);
    name.resize(width, ' ');
    return "  tidyland " + name + " " + std::string(row.usage) + "\n";
}

const std::string& usage() {
    static const std::string text = [] {
        std::string lines = "usage:\n";
        for (const CommandRow* row : kTable)
            lines += usageLine(*row);
        return lines + "  tidyland --help\n  tidyland --version\n";
    }();
    return text;
}

} // namespace tidycli
