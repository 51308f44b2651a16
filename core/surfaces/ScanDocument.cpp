// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/ScanDocument.h"

#include "core/landxml/Nodes.h"
#include "core/tin/SurfaceWalk.h"

namespace tidy {

ScanCounts ScanDocument(const Document& document, bool countTriangles,
                        const ScanObserver& observer) {
    ScanCounts counts;
    pugi::xml_node surfaces = surfacesOf(document);
    if (!surfaces)
        return counts;

    for (const pugi::xml_node surface : surfaceWalk(surfaces, kListedSurfaceSteps)) {
        std::string name(attributeText(surface, "name"));
        observer.listSurface(name);
        counts.listedNames.push_back(std::move(name));
    }

    counts.surfaceCount = childCount(surfaces);
    observer.showSurfaceCount(counts.surfaceCount);
    if (!countTriangles)
        return counts;

    observer.beginCounting();
    // Every child of Surfaces, comments too, is one step of the count.
    for (const pugi::xml_node surface : surfaceSteps(surfaces, counts.surfaceCount)) {
        if (const pugi::xml_node faces = facesOf(surface))
            counts.triangleCount += childCount(faces);
        observer.showTriangleCount(counts.triangleCount);
    }
    return counts;
}

} // namespace tidy
