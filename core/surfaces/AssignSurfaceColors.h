// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidy {

// A visited surface and the colour index its list line shows.
struct SurfaceColor {
    std::string name;
    std::int32_t color = 0;
};

// How the colouring asks and reports; a member left out keeps every stored index and shows
// nothing.
struct ColorObserver {
    // Asks for a surface's palette index, given its name (UTF-8) and its stored index (0 for a
    // new record). Whatever it returns is stored, -1 included.
    std::function<std::int32_t(const std::string& name, std::int32_t preset)> pickColor =
        [](const std::string&, std::int32_t preset) { return preset; };
    // Shows a visited surface with the index it now has.
    std::function<void(const std::string& name, std::int32_t color)> listSurface =
        [](const std::string&, std::int32_t) {};
};

struct ColorRun {
    std::vector<SurfaceColor> surfaces; // the visited surfaces with their listed index
    bool write = false;                 // false: no root or no "Surfaces", nothing is written
};

// Gives each surface (the first "Surface" of "Surfaces" and the nodes after it, at most 100) a
// colour index from pickColor, stored as the "M_Color" property of its first Feature (created
// when it has none), and lists each with its index. Throws Error when a stored index is not a
// whole number.
ColorRun AssignSurfaceColors(Document& document, const ColorObserver& observer);

} // namespace tidy
