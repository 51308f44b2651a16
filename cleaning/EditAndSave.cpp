// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/EditAndSave.h"

#include "cleaning/TriangleRemovalPass.h"
#include "landxml/Error.h"

namespace tidy {

namespace {

constexpr const char* kDeviationMessage =
    " calculated curves maybe not correct adjusted. please check the data before use ";
constexpr const char* kAdjustedMessage =
    " The xml file is adjusted by correcting one or more curves. Missing data \n"
    "is added where needed. Check data before use!! \n"
    "Reading the adjusted XML file back into Civil3D will deliver incorrect data.";
constexpr const char* kNotAdjustedMessage =
    " The xml file is not adjusted. There were no curves with missing data. ";

} // namespace

std::string triangleMessage(std::int32_t removed) {
    if (removed == 0)
        return " XML file checked, no triangles removed ";
    if (removed == 1)
        return " XML file checked, 1 triangle removed ";
    return " XML file checked, " + std::to_string(removed) + " triangles removed ";
}

EditAndSaveResult EditAndSave(const std::string& path, const EditAndSaveOptions& options,
                              const EditAndSaveView& view) {
    EditAndSaveResult result;
    Document document = Document::open(path);
    if (!document.loaded())
        throw Error((path.empty() ? std::string("(no file)") : path) +
                    ": no such file; nothing was written");

    if (options.removeTriangles) {
        TriangleRemovalPass(
            document, view.listSurface, view.showSurfaceCount,
            [&](std::int32_t n) {
                result.removedTriangles = n;
                view.showRemovedCount(n);
            },
            view.setProgress);
    }
    if (options.repairCurves) {
        result.curves = CurveRepairPass(document, !options.saveAs, view.showCurveCount,
                                        view.showAdjustedCount, view.markDeviation, view.inform);
    }

    // The document holds the whole file, so the source is already released and may be the
    // destination.
    result.destination = options.saveAs ? view.chooseSaveFile() : path;
    if (result.destination.empty())
        return result; // the save dialog was closed: nothing is written, nothing reported
    document.save(result.destination);
    result.saved = true;

    if (options.removeTriangles)
        result.messages.push_back(triangleMessage(result.removedTriangles));
    if (options.repairCurves) {
        if (result.curves.possibleDeviationCount > 0)
            result.messages.emplace_back(kDeviationMessage);
        result.messages.emplace_back(result.curves.adjustedCurveCount > 0 ? kAdjustedMessage
                                                                          : kNotAdjustedMessage);
    }
    for (const std::string& message : result.messages)
        view.inform(message);
    return result;
}

} // namespace tidy
