// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/TriangleRemovalPass.h"

#include "core/landxml/Nodes.h"
#include "core/tin/Faces.h"
#include "core/tin/SurfaceWalk.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace tidy {

namespace {

// "n" holds the 1-based positions of a face's three neighbours among the F elements of its Faces
// element, 0 for none. newPosition maps each old position to the new one, 0 for a removed face;
// its entry 0 is 0. An "n" that is not three such positions is left as it was.
void renumberNeighbours(pugi::xml_node faces, const std::vector<std::int32_t>& newPosition) {
    // "+" is taken, and "-" for the sake of "-0".
    const IntegerRules positions{
        .plus = true, .minus = true, .least = 0, .most = std::int64_t(newPosition.size() - 1)};
    for (pugi::xml_node face = faces.first_child(); face; face = face.next_sibling()) {
        if (!isFace(face))
            continue;
        // Looked up once and written in place: this runs for every face of a model.
        pugi::xml_attribute neighbours = face.attribute("n");
        const std::string_view original = neighbours.value();
        const auto old = readThreeIntegers(original, positions);
        if (!old)
            continue;
        char buffer[3 * 12];
        char* const end = buffer + sizeof buffer;
        char* at = buffer;
        for (std::size_t slot = 0; slot < old->size(); ++slot) {
            if (slot > 0)
                *at++ = ' ';
            at = std::to_chars(at, end, newPosition[std::size_t((*old)[slot])]).ptr;
        }
        const std::string_view renumbered(buffer, static_cast<std::size_t>(at - buffer));
        // Digits and blanks: every encoding holds them, so the document layer's check for what
        // the file can store is not needed.
        if (renumbered != original)
            neighbours.set_value(renumbered.data(), renumbered.size());
    }
}

// Walks one Faces element and removes its outside faces, counting them into `counts`.
void cleanFaces(Document& document, pugi::xml_node faces, TriangleRemovalCounts& counts,
                const TriangleRemovalObserver& observer) {
    pugi::xml_node node = findNode(faces, "F");
    // Read once: the walk takes exactly this many steps, however many faces it removes.
    const std::int32_t faceCount = childCount(faces);
    std::vector<std::int32_t> newPosition;
    newPosition.reserve(static_cast<std::size_t>(faceCount) + 1);
    newPosition.push_back(0);
    std::int32_t keptFaces = 0;
    bool removedFace = false;
    for (std::int32_t k = 0; k < faceCount && node; ++k) {
        const bool outside = isOutside(document, node);
        const bool face = isFace(node);
        // The successor is taken before the node goes, so the walk goes on from one that stays.
        const pugi::xml_node next = node.next_sibling();
        observer.setProgress(k);
        if (outside) {
            // Removing faces renumbers the neighbours of those that stay.
            document.noteEdited(faces, true);
            faces.remove_child(node);
            ++counts.removedTriangleCount;
            observer.showRemovedCount(counts.removedTriangleCount);
        }
        if (face) {
            newPosition.push_back(outside ? 0 : ++keptFaces);
            removedFace = removedFace || outside;
        }
        node = next;
    }
    // Without this every neighbour reference past the first removed face would point at the
    // wrong triangle.
    if (removedFace)
        renumberNeighbours(faces, newPosition);
}

} // namespace

TriangleRemovalCounts TriangleRemovalPass(Document& document,
                                          const TriangleRemovalObserver& observer) {
    TriangleRemovalCounts counts;
    const pugi::xml_node surfaces = surfacesOf(document);
    if (!surfaces)
        return counts;

    // A Surface without "name" lists as an empty name, as in the scan.
    for (const pugi::xml_node listed : surfaceWalk(surfaces, kListedSurfaceSteps))
        observer.listSurface(std::string(attributeText(listed, "name")));

    // The count takes in every child of Surfaces, comments too; each uses up one step.
    const std::int32_t surfaceCount = childCount(surfaces);
    observer.showSurfaceCount(surfaceCount);
    observer.setProgress(0);
    for (const pugi::xml_node surface : surfaceSteps(surfaces, surfaceCount))
        if (const pugi::xml_node faces = facesOf(surface))
            cleanFaces(document, faces, counts, observer);
    return counts;
}

} // namespace tidy
