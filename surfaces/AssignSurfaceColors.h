// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidy {

// A visited surface and the colour index its list line shows.
struct SurfaceColor {
    std::string name;
    std::int32_t color = 0;

    friend bool operator==(const SurfaceColor&, const SurfaceColor&) = default;
};

// Asks for a surface's palette index, given its name (UTF-8) and its stored index (0 for a new
// record). Whatever it returns is stored, -1 included.
using PickColor = std::function<std::int32_t(const std::string& name, std::int32_t preset)>;
// Shows a visited surface with the index it now has.
using ListColored = std::function<void(const std::string& name, std::int32_t color)>;

// Gives each surface of the file at `path` (the first "Surface" of "Surfaces" and the nodes after
// it, at most 100) a colour index from `pickColor`, stored as the "M_Color" property of its first
// Feature (created when it has none), lists each with its index and saves the document to
// `destination`. No file does nothing; no root element or no "Surfaces" writes nothing. Throws
// Error when the file cannot be read or written or a stored index is not a whole number; every
// file is then left as it was.
struct ColorRun {
    std::vector<SurfaceColor> surfaces; // the visited surfaces with their listed index
    bool saved = false;
};
ColorRun AssignSurfaceColors(const std::string& path, const std::string& destination,
                             const PickColor& pickColor, const ListColored& listSurface);

} // namespace tidy
