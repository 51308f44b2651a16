// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tidy {

// What one triangle removal run changed.
struct TriangleRemovalCounts {
    std::int32_t removedTriangleCount = 0; // faces removed, over all surfaces
};

// What the removal reports as it goes; a member left out does nothing.
struct TriangleRemovalObserver {
    // Each of the first ten surfaces, by name, before any face is removed.
    std::function<void(const std::string& name)> listSurface = [](const std::string&) {};
    // The number of children of Surfaces, once.
    std::function<void(std::int32_t)> showSurfaceCount = [](std::int32_t) {};
    // The running total after each removal.
    std::function<void(std::int32_t)> showRemovedCount = [](std::int32_t) {};
    // 0 once before the walk, then the position of each face step within its Faces element.
    std::function<void(std::int32_t)> setProgress = [](std::int32_t) {};
};

// Removes from every surface the faces whose "i" is 1 (triangles outside the boundary) and
// renumbers the neighbour references ("n") of the faces that stay. Does nothing when the
// document has no Surfaces. Throws Error for an "i" that is not a decimal integer.
TriangleRemovalCounts TriangleRemovalPass(Document& document,
                                          const TriangleRemovalObserver& observer);

} // namespace tidy
