// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pugixml.hpp>

#include <vector>

namespace tidy {

// Steps of the walk that lists surfaces in the window, and of the walks that edit them.
constexpr int kListedSurfaceSteps = 10;
constexpr int kEditedSurfaceSteps = 100;

// The surfaces a walk of at most `steps` steps meets: the first "Surface" child of `surfaces`
// and the siblings after it, whatever their names. A node that is not an element has no name
// to offer and is left out, but it still uses up a step.
std::vector<pugi::xml_node> surfaceWalk(pugi::xml_node surfaces, int steps);

} // namespace tidy
