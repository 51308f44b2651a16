// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidy {

// What the scan of one document found.
struct ScanCounts {
    std::vector<std::string> listedNames; // the names of at most ten listed surfaces
    std::int32_t surfaceCount = 0;        // child nodes of Surfaces; 0 without Surfaces
    std::int32_t triangleCount = 0;       // 0 unless triangles were counted
};

// What the scan reports as it goes; a member left out does nothing.
struct ScanObserver {
    std::function<void(const std::string& name)> listSurface = [](const std::string&) {};
    // Called once, and only when the document has Surfaces.
    std::function<void(std::int32_t)> showSurfaceCount = [](std::int32_t) {};
    std::function<void()> beginCounting = [] {};
    std::function<void(std::int32_t)> showTriangleCount = [](std::int32_t) {};
};

// Lists the first ten surfaces and counts surfaces and, when `countTriangles` is on, triangles.
// Changes nothing in the document.
ScanCounts ScanDocument(const Document& document, bool countTriangles,
                        const ScanObserver& observer);

} // namespace tidy
