// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue: one small file per way a LandXML file can be wrong, with the
// operations that must refuse it and what their message must say.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tidytest {

// The five operations of the window and of tidyland, as bits.
enum Operation : unsigned {
    Scan = 1u << 0, // open and scan; tidyland scan
    Triangles =
        1u << 1,      // edit and save with "Remove triangles outside boundary"; clean --triangles
    Curves = 1u << 2, // edit and save with the curve repair; clean --curves
    Rename = 1u << 3, // surface renaming; tidyland rename
    Color = 1u << 4,  // colour assignment; tidyland color
};
constexpr unsigned kEveryOperation = Scan | Triangles | Curves | Rename | Color;
constexpr Operation kOperations[] = {Scan, Triangles, Curves, Rename, Color};
const char* operationName(Operation op);

// One file of the catalogue folder and its sidecar NAME.expect, lines of "key: value":
//   refused: all | none | the operations (scan triangles curves rename color) that refuse it
//   place:   "line L, column C" that follows the path; absent where the message has none
//   says:    part of the message after the place
struct BadFile {
    std::string name;
    unsigned refusing = 0; // operations that must refuse the file; every other one must succeed
    std::string place;
    std::string says;
};

// Every entry, good.xml (refused by nothing) first. A file without a sidecar, or a sidecar that
// cannot be read, throws: no file sits in the folder untested.
const std::vector<BadFile>& catalogue();

// The first entry that `op` refuses.
const BadFile& firstRefusedBy(Operation op);

// The catalogue folder, and the bytes of an entry. The 100 000-deep nesting is made here rather
// than kept as a 700 kB file.
std::string catalogueFolder();
std::string catalogueBytes(const BadFile& entry);

// The name the surfaces of the catalogue files carry, and the answers the operations give.
constexpr std::string_view kSurfaceName = "EG";
constexpr std::string_view kNewName = "Existing ground";
constexpr int kNewColor = 5;

} // namespace tidytest
