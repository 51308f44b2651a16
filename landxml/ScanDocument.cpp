// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/ScanDocument.h"

#include "landxml/Nodes.h"

namespace tidy {

ScanCounts ScanDocument(const Document& document, bool countTriangles,
                        const std::function<void(const std::string&)>& listSurface,
                        const std::function<void(std::int32_t)>& showSurfaceCount,
                        const std::function<void()>& beginCounting,
                        const std::function<void(std::int32_t)>& showTriangleCount) {
    ScanCounts counts;
    pugi::xml_node surfaces = findNode(document.root(), "Surfaces");
    if (!surfaces)
        return counts;

    // Ten listing steps over the sibling walk: a comment among the surfaces adds no line but
    // still uses up a step.
    pugi::xml_node current = findNode(surfaces, "Surface");
    for (int step = 0; step < 10 && current; ++step, current = current.next_sibling()) {
        if (current.type() != pugi::node_element)
            continue;
        std::string name(attributeText(current, "name"));
        listSurface(name);
        counts.listedNames.push_back(std::move(name));
    }

    counts.surfacesFound = true;
    counts.surfaceCount = childCount(surfaces);
    showSurfaceCount(counts.surfaceCount);
    if (!countTriangles)
        return counts;

    beginCounting();
    current = findNode(surfaces, "Surface");
    for (std::int32_t i = 0; i < counts.surfaceCount && current;
         ++i, current = current.next_sibling()) {
        if (pugi::xml_node faces = findNode(findNode(current, "Definition"), "Faces"))
            counts.triangleCount += childCount(faces);
        showTriangleCount(counts.triangleCount);
    }
    return counts;
}

} // namespace tidy
