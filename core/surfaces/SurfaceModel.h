// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One surface's triangles in plan view, read out of a document so that it can be drawn again
// and again after the document is gone.

#include "core/landxml/Document.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tidy {

struct SurfaceModel {
    std::string name;
    // Easting and northing of each point slot, relative to the origin; NaN where no point could
    // be read. Floats keep a surface of a million faces small, and relative values keep their
    // millimetres. A point's slot is its id, unless the ids are spread far apart.
    std::vector<float> coordinates;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sparseSlots; // (id, slot) by id, or empty
    double originEasting = 0;
    double originNorthing = 0;
    // The readable points' extent, relative to the origin; all 0 without any.
    float minEasting = 0, maxEasting = 0, minNorthing = 0, maxNorthing = 0;

    // The drawn faces, three point slots each, and which of them are outside; only
    // readSurfaceModel keeps them.
    std::vector<std::uint32_t> corners;
    std::vector<bool> outside;

    // What the file holds: F elements, those with i="1", P elements.
    std::int32_t faceCount = 0;
    std::int32_t outsideFaceCount = 0;
    std::int32_t pointCount = 0;
    // Faces left out of the picture: a corner that names no readable point, or a text that is
    // not three point numbers. `firstSkipped` says where the first of them is.
    std::int32_t skippedFaces = 0;
    std::string firstSkipped;
    std::vector<std::int32_t> skippedPositions; // 1-based among the F elements, in order

    // The slot of point `id`, or no slot (beyond `coordinates`) when there is none.
    std::uint32_t slotOf(std::uint32_t id) const;
};

using Corners = std::array<std::uint32_t, 3>;
// `position`: the face's, 1-based among the F elements.
using FaceVisitor =
    std::function<void(const Corners& corners, bool outside, std::int32_t position)>;

// The surface behind list line `line` (0-based) of the scan, by the scan's own walk: the first
// ten nodes from the first Surface on, of which the elements are listed. An empty node when the
// document lists fewer lines.
pugi::xml_node listedSurface(const Document& document, int line);

// The first Surface element whose name is `name`, or an empty node.
pugi::xml_node surfaceNamed(const Document& document, const std::string& name);

// Reads the name and the points (Definition/Pnts/P: "northing easting [elevation]" under an
// integer "id") of `surface`, without its faces.
SurfaceModel readSurfacePoints(const Document& document, pugi::xml_node surface);

// Walks the faces (Definition/Faces/F: "a b c" naming points by id) of `surface`, counts them
// into `model` and hands each face that can be drawn to `visit`. Throws Error naming the place
// only for an "i" that is not an integer, as the triangle removal does.
void readSurfaceFaces(const Document& document, pugi::xml_node surface, SurfaceModel& model,
                      const FaceVisitor& visit);

// Points and faces, the faces kept in the model for drawing again and again.
SurfaceModel readSurfaceModel(const Document& document, pugi::xml_node surface);

// What keeps the picture from being complete, for the user; "" when it is complete.
std::string describeGaps(const SurfaceModel& model);

} // namespace tidy
