// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/SurfaceModel.h"

#include "core/landxml/Nodes.h"
#include "core/tin/Faces.h"
#include "core/tin/Numbers.h"
#include "core/tin/PointText.h"
#include "core/tin/SurfaceWalk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace tidy {

namespace {

constexpr std::uint32_t kNoPoint = std::numeric_limits<std::uint32_t>::max();

std::optional<std::uint32_t> parseId(std::string_view text) {
    const std::optional<std::int64_t> id = integerValue(text, kPointId);
    return id ? std::optional<std::uint32_t>(std::uint32_t(*id)) : std::nullopt;
}

// localName(node) == name, without the search for a prefix in the common case of a bare name.
bool isElementNamed(pugi::xml_node node, std::string_view name) {
    if (node.type() != pugi::node_element)
        return false;
    return node.name() == name || localName(node) == name;
}

// A point's slot is its id when the ids are numbered from 1, or close to it, so no table of ids
// is needed; ids spread far apart get slots in the order of the file.
void assignSlots(pugi::xml_node pnts, SurfaceModel& model) {
    std::uint32_t highest = 0;
    std::size_t count = 0;
    for (pugi::xml_node node = pnts.first_child(); node; node = node.next_sibling()) {
        if (!isElementNamed(node, "P"))
            continue;
        ++model.pointCount;
        if (const std::optional<std::uint32_t> id = parseId(attributeText(node, "id"))) {
            highest = std::max(highest, *id);
            ++count;
        }
    }
    if (count == 0)
        return;
    const float none = std::numeric_limits<float>::quiet_NaN();
    if (highest <= 4 * count + 1024) {
        model.coordinates.assign(2 * (std::size_t(highest) + 1), none);
        return;
    }
    model.sparseSlots.reserve(count);
    for (pugi::xml_node node = pnts.first_child(); node; node = node.next_sibling())
        if (const auto id =
                isElementNamed(node, "P") ? parseId(attributeText(node, "id")) : std::nullopt)
            model.sparseSlots.emplace_back(*id, std::uint32_t(model.sparseSlots.size()));
    // Stable, so that the first point of an id is the one found.
    std::stable_sort(model.sparseSlots.begin(), model.sparseSlots.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    model.coordinates.assign(2 * count, none);
}

void widenExtent(SurfaceModel& model, float easting, float northing, bool first) {
    if (first) {
        model.minEasting = model.maxEasting = easting;
        model.minNorthing = model.maxNorthing = northing;
        return;
    }
    model.minEasting = std::min(model.minEasting, easting);
    model.maxEasting = std::max(model.maxEasting, easting);
    model.minNorthing = std::min(model.minNorthing, northing);
    model.maxNorthing = std::max(model.maxNorthing, northing);
}

// A point that cannot be read keeps no coordinates; the faces that name it are skipped.
void readPoints(pugi::xml_node pnts, SurfaceModel& model) {
    bool haveOrigin = false;
    for (pugi::xml_node node = pnts.first_child(); node; node = node.next_sibling()) {
        if (!isElementNamed(node, "P"))
            continue;
        const std::optional<std::uint32_t> id = parseId(attributeText(node, "id"));
        const std::optional<PointText> text = SplitPointText(nodeText(node));
        if (!id || !text)
            continue;
        const std::size_t slot = model.slotOf(*id);
        if (!std::isnan(model.coordinates[2 * slot]))
            continue; // the first point of an id wins
        // "northing easting": the first number grows upward in plan, the second to the right.
        if (!haveOrigin) {
            model.originEasting = text->q;
            model.originNorthing = text->p;
        }
        const float easting = float(text->q - model.originEasting);
        const float northing = float(text->p - model.originNorthing);
        if (!std::isfinite(easting) || !std::isfinite(northing))
            continue; // beyond a float's range: no real survey is that large
        model.coordinates[2 * slot] = easting;
        model.coordinates[2 * slot + 1] = northing;
        widenExtent(model, easting, northing, !haveOrigin);
        haveOrigin = true;
    }
}

bool readCorners(std::string_view text, const SurfaceModel& model, Corners& corners) {
    const std::optional<std::array<std::int64_t, 3>> ids = readThreeIntegers(text, kPointId);
    if (!ids)
        return false;
    for (std::size_t k = 0; k < corners.size(); ++k) {
        corners[k] = model.slotOf(std::uint32_t((*ids)[k]));
        if (std::size_t(corners[k]) * 2 >= model.coordinates.size() ||
            std::isnan(model.coordinates[2 * std::size_t(corners[k])]))
            return false;
    }
    return true;
}

} // namespace

std::uint32_t SurfaceModel::slotOf(std::uint32_t id) const {
    if (sparseSlots.empty())
        return id;
    const auto at =
        std::lower_bound(sparseSlots.begin(), sparseSlots.end(), id,
                         [](const auto& pair, std::uint32_t key) { return pair.first < key; });
    return at != sparseSlots.end() && at->first == id ? at->second : kNoPoint;
}

pugi::xml_node listedSurface(const Document& document, int line) {
    const std::vector<pugi::xml_node> listed =
        surfaceWalk(surfacesOf(document), kListedSurfaceSteps);
    return line >= 0 && line < static_cast<int>(listed.size())
               ? listed[static_cast<std::size_t>(line)]
               : pugi::xml_node();
}

pugi::xml_node surfaceNamed(const Document& document, const std::string& name) {
    pugi::xml_node surfaces = surfacesOf(document);
    for (pugi::xml_node node = surfaces.first_child(); node; node = node.next_sibling())
        if (isElementNamed(node, "Surface") && attributeText(node, "name") == name)
            return node;
    return {};
}

SurfaceModel readSurfacePoints(const Document&, pugi::xml_node surface) {
    SurfaceModel model;
    model.name = std::string(attributeText(surface, "name"));
    const pugi::xml_node pnts = pointsOf(surface);
    assignSlots(pnts, model);
    readPoints(pnts, model);
    return model;
}

void readSurfaceFaces(const Document& document, pugi::xml_node surface, SurfaceModel& model,
                      const FaceVisitor& visit) {
    const pugi::xml_node faces = facesOf(surface);
    for (pugi::xml_node node = faces.first_child(); node; node = node.next_sibling()) {
        if (!isFace(node))
            continue;
        ++model.faceCount;
        const bool outside = isOutside(document, node);
        model.outsideFaceCount += outside ? 1 : 0;
        Corners corners{};
        if (readCorners(nodeText(node), model, corners)) {
            visit(corners, outside, model.faceCount);
        } else {
            model.skippedPositions.push_back(model.faceCount);
            if (model.skippedFaces++ == 0)
                model.firstSkipped = document.where(node);
        }
    }
}

SurfaceModel readSurfaceModel(const Document& document, pugi::xml_node surface) {
    SurfaceModel model = readSurfacePoints(document, surface);
    const std::size_t faces = std::size_t(childCount(facesOf(surface)));
    model.corners.reserve(3 * faces);
    model.outside.reserve(faces);
    readSurfaceFaces(document, surface, model,
                     [&model](const Corners& corners, bool outside, std::int32_t) {
                         model.corners.insert(model.corners.end(), corners.begin(), corners.end());
                         model.outside.push_back(outside);
                     });
    return model;
}

std::string describeGaps(const SurfaceModel& model) {
    if (model.faceCount == 0)
        return "This surface has no faces to draw.";
    if (model.skippedFaces == 0)
        return {};
    return std::to_string(model.skippedFaces) + " of " + std::to_string(model.faceCount) +
           " faces name points that do not exist or cannot be read and are not drawn; the "
           "first is at " +
           model.firstSkipped + ".";
}

} // namespace tidy
