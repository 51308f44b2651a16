// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tidy {

// What the rename dialog gave back: whether it closed with OK, and the text it then held.
struct NameAnswer {
    bool ok = false;
    std::string text;
};

// Asks for a surface's new name, given its current one (UTF-8).
using AskName = std::function<NameAnswer(const std::string& currentName)>;
// Shows a visited surface with its final name.
using ListRenamed = std::function<void(const std::string& name)>;

// Offers the name of each surface of the file at `path` (the first "Surface" of "Surfaces" and
// the nodes after it, at most 100) to `askName`, writes the confirmed or kept name back into
// every visited surface, lists each and saves the document to `destination`.
// No file at `path` does nothing; a file without a root element is not rewritten. Returns the
// final names in visiting order. Throws Error when the file cannot be read or written or a name
// holds a character XML does not allow (one the file's encoding cannot hold is written as a
// character reference); every file is then left as it was.
std::vector<std::string> RenameSurfaces(const std::string& path, const std::string& destination,
                                        const AskName& askName, const ListRenamed& listSurface);

} // namespace tidy
