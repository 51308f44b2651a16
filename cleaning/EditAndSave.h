// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cleaning/CurveRepairPass.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidy {

struct EditAndSaveOptions {
    bool removeTriangles = false; // "Remove triangles outside boundary"
    bool repairCurves = false;    // "Correct curves for missing "rot" attribute"
    bool saveAs = false;          // "Edit and save as": the destination is chosen after the passes
};

// What the window shows while the pipeline runs. Every member must be set.
struct EditAndSaveView {
    std::function<void(const std::string& name)> listSurface; // a surface the removal lists
    std::function<void(std::int32_t)> showSurfaceCount;
    std::function<void(std::int32_t)> showRemovedCount;
    std::function<void(std::int32_t)> setProgress;
    std::function<void(std::int32_t)> showCurveCount;
    std::function<void(std::int32_t)> showAdjustedCount;
    std::function<void()> markDeviation;
    // A modal information message: the curve notice and the outcome messages.
    std::function<void(const std::string&)> inform;
    // "Edit and save as" only: the chosen destination, or "" when the dialog was closed.
    std::function<std::string()> chooseSaveFile;
};

struct EditAndSaveResult {
    bool saved = false; // false: the save dialog was closed, nothing was written
    std::string destination;
    std::int32_t removedTriangles = 0;
    CurveRepairCounts curves;
    std::vector<std::string> messages; // the outcome messages, in the order shown
};

// Loads `path`, runs the selected passes, saves and reports the outcome messages through
// view.inform. Throws Error, with nothing written, when the source is missing or unreadable, a
// pass fails or the save fails.
EditAndSaveResult EditAndSave(const std::string& path, const EditAndSaveOptions& options,
                              const EditAndSaveView& view);

// The triangle outcome message for a run that removed `removed` faces.
std::string triangleMessage(std::int32_t removed);

} // namespace tidy
