// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/cleaning/CurveRepairPass.h"
#include "core/cleaning/OrphanPointPass.h"
#include "core/cleaning/TriangleRemovalPass.h"
#include "core/landxml/FileRun.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tidy {

struct EditAndSaveOptions {
    bool removeTriangles = false; // "Remove triangles outside boundary"
    bool repairCurves = false;    // "Correct curves for missing "rot" attribute"
    bool saveAs = false;          // "Edit and save as": the destination is chosen after the passes
    bool removeOrphanPoints = false; // after the triangle removal; not on the window's form
};

// What the pipeline reports as it goes; a member left out does nothing.
struct EditAndSaveObserver {
    TriangleRemovalObserver triangles = {};
    CurveRepairObserver curves = {};
    // "Edit and save as" only: the destination, asked once the passes are done; "" writes
    // nothing.
    std::function<std::string()> chooseSaveFile = [] { return std::string(); };
    OrphanPointObserver points = {};
};

struct EditAndSaveResult {
    FileRun file = FileRun::NoFile; // NotWritten: the save dialog was closed
    std::string destination;
    TriangleRemovalCounts triangles;
    CurveRepairCounts curves;
    OrphanPointCounts points;
};

// Loads `path`, runs the selected passes and saves. No file at `path` runs nothing. Throws
// Error, with nothing written, when the source is unreadable, a pass fails or the save fails.
EditAndSaveResult EditAndSave(const std::string& path, const EditAndSaveOptions& options,
                              const EditAndSaveObserver& observer);

} // namespace tidy
