// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "landxml/Document.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tidy {

// Whether `node` is an F element (matched on the local name).
bool isFace(pugi::xml_node node);

// Whether a face lies outside the boundary: its "i" read as an integer is 1. Throws Error for an
// "i" that is not a decimal integer.
bool isOutside(const Document& document, pugi::xml_node face);

// Removes from every surface the faces whose "i" is 1 (triangles outside the boundary) and
// renumbers the neighbour references ("n") of the faces that stay. On the way it lists the first
// ten surfaces through listSurface (their names), shows the number
// of children of Surfaces once, the running total of removed faces after each removal, and the
// position of each face step within its Faces element. All callbacks must be set. Does nothing
// when the document has no Surfaces. Throws Error for an "i" that is not a decimal integer.
void TriangleRemovalPass(Document& document,
                         const std::function<void(const std::string&)>& listSurface,
                         const std::function<void(std::int32_t)>& showSurfaceCount,
                         const std::function<void(std::int32_t)>& showRemovedCount,
                         const std::function<void(std::int32_t)>& setProgress);

} // namespace tidy
