// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A surface drawn in plan view, easting to the right and northing up: the faces inside the
// boundary in a light fill with their edges, the faces marked i="1" in a strong colour, and a
// dark line where the two meet. The window and tidyland both draw with this.

#include "core/surfaces/SurfaceModel.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tidy {

// Which ground the picture shows: a point at easting e and northing n (relative to the model's
// origin) lands at pixel x = (e - left) * scale, y = (top - n) * scale.
struct Viewport {
    double scale = 1; // pixels per unit of the file
    double left = 0;
    double top = 0;
};

// The whole surface (the extent of its points), centred, with a small margin.
Viewport fitViewport(const SurfaceModel& model, int width, int height);

// `viewport` zoomed by `factor` (above 1 zooms in) so that pixel (x, y) keeps its ground.
Viewport zoomAbout(const Viewport& viewport, double factor, double x, double y);

// `viewport` with the picture moved by (dx, dy) pixels.
Viewport panBy(const Viewport& viewport, double dx, double dy);

// A pixel's colour as a palette index. Where faces overlap the higher index wins, so an outside
// face is never hidden by an inside one, nor a marked face by either.
enum PictureColor : std::uint8_t {
    kBackground,
    kInsideFill,
    kInsideEdge,
    kOutsideFill,
    kOutsideEdge,
    kBoundary,
    kFirstMark, // then one colour per mark
};
inline constexpr int kMarkColors = 6;

// 0xRRGGBB of each PictureColor: a light blue-grey against the Okabe-Ito vermillion, which
// readers with any common colour vision deficiency tell apart, and the marks in the rest of
// that palette.
inline constexpr std::array<std::uint32_t, kFirstMark + kMarkColors> kPicturePalette = {
    0xFFFFFF, 0xDCE4EC, 0x98A9BB, 0xD55E00, 0x8A3C00, 0x14202E,
    0x009E73, 0x0072B2, 0xCC79A7, 0x56B4E9, 0xF0E442, 0xE69F00,
};

// Faces and points to mark over the picture, each with its mark (0 to kMarkColors - 1): faces
// by their 1-based position among the F elements, in order; points by id, drawn as squares.
struct SurfaceMarks {
    std::vector<std::pair<std::int64_t, int>> faces;
    std::vector<std::pair<std::uint32_t, int>> points;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // a PictureColor each, row by row from the top

    PictureColor at(int x, int y) const {
        return PictureColor(pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]);
    }
};

// Draws faces of `model` one at a time as `viewport` shows them into a picture of width x height
// pixels, so that faces can be drawn while they are read. A face smaller than a pixel still
// colours the pixel under its centre, so no outside face goes unseen.
class SurfacePainter {
public:
    SurfacePainter(const SurfaceModel& model, const Viewport& viewport, int width, int height,
                   const SurfaceMarks& marks = {});

    // The face at `position` (1-based among the F elements), in the colour of its mark if any.
    void drawFace(const Corners& corners, bool outside, std::int64_t position);

    // The picture, with the line where inside meets outside and the marked points on top.
    Picture finish();

private:
    const SurfaceModel& model_;
    Viewport viewport_;
    SurfaceMarks marks_;
    Picture picture_;
};

// The faces kept in `model`, drawn.
Picture drawSurface(const SurfaceModel& model, const Viewport& viewport, int width, int height,
                    const SurfaceMarks& marks = {});

} // namespace tidy
