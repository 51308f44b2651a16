// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/OutcomeMessages.h"

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

std::string triangleMessage(std::int32_t removed) {
    if (removed == 0)
        return " XML file checked, no triangles removed ";
    if (removed == 1)
        return " XML file checked, 1 triangle removed ";
    return " XML file checked, " + std::to_string(removed) + " triangles removed ";
}

} // namespace

std::vector<std::string> outcomeMessages(const EditAndSaveOptions& options,
                                         const EditAndSaveResult& result) {
    std::vector<std::string> messages;
    if (result.file != FileRun::Written)
        return messages;
    if (options.removeTriangles)
        messages.push_back(triangleMessage(result.triangles.removedTriangleCount));
    if (options.repairCurves) {
        if (result.curves.possibleDeviationCount > 0)
            messages.emplace_back(kDeviationMessage);
        messages.emplace_back(result.curves.adjustedCurveCount > 0 ? kAdjustedMessage
                                                                   : kNotAdjustedMessage);
    }
    return messages;
}

std::string noFileToEdit(const std::string& path) {
    return (path.empty() ? std::string("(no file)") : path) + ": no such file; nothing was written";
}

} // namespace tidy
