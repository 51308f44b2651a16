// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/EditAndSave.h"

namespace tidy {

EditAndSaveResult EditAndSave(const std::string& path, const EditAndSaveOptions& options,
                              const EditAndSaveObserver& observer) {
    EditAndSaveResult result;
    result.file = runOnFile(path, [&](Document& document) {
        if (options.removeTriangles)
            result.triangles = TriangleRemovalPass(document, observer.triangles);
        if (options.removeOrphanPoints)
            result.points = OrphanPointPass(document, observer.points);
        if (options.repairCurves)
            result.curves = CurveRepairPass(document, observer.curves);
        result.destination = options.saveAs ? observer.chooseSaveFile() : path;
        return result.destination;
    });
    return result;
}

} // namespace tidy
