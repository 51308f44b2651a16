// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstdint>
#include <functional>

namespace tidy {

// What one orphan point removal changed.
struct OrphanPointCounts {
    std::int32_t removedPointCount = 0; // points removed, over all surfaces
};

// What the removal reports as it goes; a member left out does nothing.
struct OrphanPointObserver {
    // The running total after each removal.
    std::function<void(std::int32_t)> showRemovedCount = [](std::int32_t) {};
};

// Removes from every surface the triangle removal walks, and that has a Faces element, the
// points (P of Pnts) whose id no face names. Faces name points by id, so nothing is renumbered.
// A surface with a face whose ids cannot be read keeps all its points, as does a point whose id
// cannot be read.
OrphanPointCounts OrphanPointPass(Document& document, const OrphanPointObserver& observer);

} // namespace tidy
