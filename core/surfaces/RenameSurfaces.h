// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <functional>
#include <string>
#include <vector>

namespace tidy {

// What the rename dialog gave back: whether it closed with OK, and the text it then held.
struct NameAnswer {
    bool ok = false;
    std::string text;
};

// How the renaming asks and reports; a member left out keeps every name and shows nothing.
struct RenameObserver {
    // Asks for a surface's new name, given its current one (UTF-8).
    std::function<NameAnswer(const std::string& currentName)> askName = [](const std::string&) {
        return NameAnswer{};
    };
    // Told why a confirmed name was refused; the surface is then asked again, offered the
    // refused text. Left empty, a refusal throws Error and nothing is written.
    std::function<void(const std::string& reason)> refuseName = nullptr;
    // Shows a visited surface with its final name.
    std::function<void(const std::string& name)> listSurface = [](const std::string&) {};
};

struct RenameRun {
    std::vector<std::string> names; // the final names in visiting order
    bool write = false;             // false: no root element, the file is not rewritten
};

// Offers the name of each surface (the first "Surface" of "Surfaces" and the nodes after it, at
// most 100) to askName, writes the confirmed or kept name back into every visited surface and
// lists each. A confirmed name that differs from the surface's own is refused when it is empty
// (or blank) or when another "Surface" of the same "Surfaces" has it at that moment, since CAD
// programs tell surfaces apart by name. Throws Error when a name holds a character XML does not
// allow (one the file's encoding cannot hold is written as a character reference).
RenameRun RenameSurfaces(Document& document, const RenameObserver& observer);

} // namespace tidy
