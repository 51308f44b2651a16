// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <pugixml.hpp>

#include <vector>

namespace tidy {

// Steps of the walk that lists surfaces in the window, and of the walks that edit them. The
// walks that count and clean take one step for each child of Surfaces.
constexpr int kListedSurfaceSteps = 10;
constexpr int kEditedSurfaceSteps = 100;

// Where a document keeps its surfaces: the root's first Surfaces child, or an empty node.
pugi::xml_node surfacesOf(const Document& document);

// The nodes a walk of at most `steps` steps meets: the first "Surface" child of `surfaces` and
// the siblings after it, whatever they are (a comment too).
std::vector<pugi::xml_node> surfaceSteps(pugi::xml_node surfaces, int steps);

// The surfaces of those steps: a node that is not an element has no name to offer and is left
// out, but it still uses up a step.
std::vector<pugi::xml_node> surfaceWalk(pugi::xml_node surfaces, int steps);

// Where a surface keeps its faces and its points (Definition/Faces, Definition/Pnts); an empty
// node when either step is missing.
pugi::xml_node facesOf(pugi::xml_node surface);
pugi::xml_node pointsOf(pugi::xml_node surface);

} // namespace tidy
