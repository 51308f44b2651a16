// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/OrphanPointPass.h"

#include "core/landxml/Nodes.h"
#include "core/tin/Faces.h"
#include "core/tin/SurfaceWalk.h"

#include <algorithm>
#include <vector>

namespace tidy {

namespace {

// The ids the faces name, sorted; nullopt when a face's ids cannot be read, since its points
// are then unknown.
std::optional<std::vector<std::int64_t>> namedIds(pugi::xml_node faces) {
    std::vector<std::int64_t> ids;
    for (pugi::xml_node face = faces.first_child(); face; face = face.next_sibling()) {
        if (!isFace(face))
            continue;
        const auto corners = readThreeIntegers(nodeText(face), kPointId);
        if (!corners)
            return std::nullopt;
        ids.insert(ids.end(), corners->begin(), corners->end());
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void removeOrphans(Document& document, pugi::xml_node surface, OrphanPointCounts& counts,
                   const OrphanPointObserver& observer) {
    const pugi::xml_node faces = facesOf(surface);
    pugi::xml_node points = pointsOf(surface);
    if (!faces || !points)
        return;
    const auto used = namedIds(faces);
    if (!used)
        return;
    for (pugi::xml_node point = points.first_child(); point;) {
        const pugi::xml_node next = point.next_sibling();
        const bool isPoint = point.type() == pugi::node_element && localName(point) == "P";
        const auto id = isPoint ? integerValue(attributeText(point, "id"), kPointId) : std::nullopt;
        if (id && !std::binary_search(used->begin(), used->end(), *id)) {
            document.noteEdited(points, true);
            points.remove_child(point);
            observer.showRemovedCount(++counts.removedPointCount);
        }
        point = next;
    }
}

} // namespace

OrphanPointCounts OrphanPointPass(Document& document, const OrphanPointObserver& observer) {
    OrphanPointCounts counts;
    const pugi::xml_node surfaces = surfacesOf(document);
    if (!surfaces)
        return counts;
    for (const pugi::xml_node surface : surfaceSteps(surfaces, childCount(surfaces)))
        removeOrphans(document, surface, counts, observer);
    return counts;
}

} // namespace tidy
