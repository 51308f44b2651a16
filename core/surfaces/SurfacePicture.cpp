// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/SurfacePicture.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tidy {

namespace {

// Edges are drawn only where a face spans at least this many pixels; on smaller faces they
// would bury the fill and the colour that tells outside from inside.
constexpr double kEdgeMinPixels = 2;

struct ScreenPoint {
    double x = 0;
    double y = 0;
};

class Canvas {
public:
    explicit Canvas(Picture& picture) : picture_(picture) {}

    int width() const { return picture_.width; }
    int height() const { return picture_.height; }

    // `over`: whatever was there before; otherwise the higher colour stays.
    void paint(int x, int y, std::uint8_t color, bool over = false) {
        std::uint8_t& pixel =
            picture_.pixels[std::size_t(y) * std::size_t(width()) + std::size_t(x)];
        pixel = over ? color : std::max(pixel, color);
    }

    // Pixels whose centres lie in [x0, x1) on row y; returns how many were painted.
    int span(int y, double x0, double x1, std::uint8_t color) {
        const int first = std::max(0, int(std::ceil(std::max(x0 - 0.5, -1.0))));
        const int last = std::min(width(), int(std::ceil(std::min(x1 - 0.5, double(width())))));
        for (int x = first; x < last; ++x)
            paint(x, y, color);
        return std::max(0, last - first);
    }

private:
    Picture& picture_;
};

double xAt(ScreenPoint a, ScreenPoint b, double y) {
    return a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
}

// Paints the pixels whose centres the triangle holds, row by row; returns how many there were.
int fillTriangle(Canvas& canvas, ScreenPoint a, ScreenPoint b, ScreenPoint c, std::uint8_t color) {
    if (b.y < a.y)
        std::swap(a, b);
    if (c.y < a.y)
        std::swap(a, c);
    if (c.y < b.y)
        std::swap(b, c);
    const int firstRow = std::max(0, int(std::ceil(std::max(a.y - 0.5, -1.0))));
    const int lastRow =
        std::min(canvas.height(), int(std::ceil(std::min(c.y - 0.5, double(canvas.height())))));
    int painted = 0;
    for (int row = firstRow; row < lastRow; ++row) {
        const double y = row + 0.5;
        double x0 = xAt(a, c, y);
        double x1 = y < b.y ? xAt(a, b, y) : xAt(b, c, y);
        if (x1 < x0)
            std::swap(x0, x1);
        painted += canvas.span(row, x0, x1, color);
    }
    return painted;
}

// The segment's pixels, one per step along its longer axis, clipped to the picture first so
// that a deep zoom costs no more than the picture is wide.
void drawLine(Canvas& canvas, ScreenPoint p, ScreenPoint q, std::uint8_t color) {
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    double t0 = 0;
    double t1 = 1;
    const double border[4][2] = {
        {-dx, p.x}, {dx, canvas.width() - p.x}, {-dy, p.y}, {dy, canvas.height() - p.y}};
    for (const auto& [step, room] : border) {
        if (step == 0) {
            if (room < 0)
                return;
            continue;
        }
        const double t = room / step;
        if (step < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return;
    const int steps = int(std::ceil(std::max(std::abs(dx), std::abs(dy)) * (t1 - t0)));
    for (int i = 0; i <= steps; ++i) {
        const double t = t0 + (t1 - t0) * (steps ? double(i) / steps : 0);
        // The nudge keeps a line on a pixel border, where rounding would wander from one side
        // to the other, on one side.
        const int x = std::clamp(int(std::floor(p.x + dx * t + 1e-3)), 0, canvas.width() - 1);
        const int y = std::clamp(int(std::floor(p.y + dy * t + 1e-3)), 0, canvas.height() - 1);
        canvas.paint(x, y, color);
    }
}

bool offPicture(const Canvas& canvas, const ScreenPoint (&v)[3]) {
    const auto [minX, maxX] = std::minmax({v[0].x, v[1].x, v[2].x});
    const auto [minY, maxY] = std::minmax({v[0].y, v[1].y, v[2].y});
    return maxX < 0 || maxY < 0 || minX > canvas.width() || minY > canvas.height();
}

bool largeEnoughForEdges(const ScreenPoint (&v)[3]) {
    const auto [minX, maxX] = std::minmax({v[0].x, v[1].x, v[2].x});
    const auto [minY, maxY] = std::minmax({v[0].y, v[1].y, v[2].y});
    return std::max(maxX - minX, maxY - minY) >= kEdgeMinPixels;
}

// A square of side 2 * half + 1 pixels around (x, y), as far as it is in the picture.
void paintSquare(Canvas& canvas, double x, double y, int half, std::uint8_t color, bool over) {
    for (int row = int(std::floor(y)) - half; row <= int(std::floor(y)) + half; ++row)
        for (int col = int(std::floor(x)) - half; col <= int(std::floor(x)) + half; ++col)
            if (col >= 0 && row >= 0 && col < canvas.width() && row < canvas.height())
                canvas.paint(col, row, color, over);
}

// A marked face smaller than this many pixels gets a square at its centre to be seen.
constexpr int kMarkMinPixels = 9;

void paintFace(Canvas& canvas, const ScreenPoint (&v)[3], std::uint8_t fill, std::uint8_t edge) {
    if (offPicture(canvas, v))
        return;
    const int painted = fillTriangle(canvas, v[0], v[1], v[2], fill);
    const double x = (v[0].x + v[1].x + v[2].x) / 3;
    const double y = (v[0].y + v[1].y + v[2].y) / 3;
    const bool thin = fill >= kFirstMark && painted < kMarkMinPixels;
    if (thin)
        paintSquare(canvas, x, y, 3, fill, false);
    else if (painted == 0 && x >= 0 && y >= 0 && x < canvas.width() && y < canvas.height())
        canvas.paint(int(x), int(y), fill);
    if (!largeEnoughForEdges(v))
        return;
    // A marked face too thin to fill gets edges three pixels wide.
    const int widest = thin ? 1 : 0;
    for (int shift = -widest; shift <= widest; ++shift) {
        ScreenPoint w[3];
        for (std::size_t k = 0; k < 3; ++k)
            w[k] = {v[k].x + shift, v[k].y + shift};
        drawLine(canvas, w[0], w[1], edge);
        drawLine(canvas, w[1], w[2], edge);
        drawLine(canvas, w[2], w[0], edge);
    }
}

// Inside pixels next to an outside pixel become the boundary line, whatever the zoom.
void markBoundary(Picture& picture) {
    const int w = picture.width;
    const int h = picture.height;
    auto outside = [&](int x, int y) {
        const std::uint8_t c = picture.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        return c == kOutsideFill || c == kOutsideEdge;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t& c = picture.pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)];
            if (c != kInsideFill && c != kInsideEdge)
                continue;
            if ((x > 0 && outside(x - 1, y)) || (x + 1 < w && outside(x + 1, y)) ||
                (y > 0 && outside(x, y - 1)) || (y + 1 < h && outside(x, y + 1)))
                c = kBoundary;
        }
    }
}

ScreenPoint onScreen(const SurfaceModel& model, const Viewport& viewport, std::uint32_t slot) {
    const std::vector<float>& xy = model.coordinates;
    return {(xy[2 * slot] - viewport.left) * viewport.scale,
            (viewport.top - xy[2 * slot + 1]) * viewport.scale};
}

} // namespace

Viewport fitViewport(const SurfaceModel& model, int width, int height) {
    const double spanE = double(model.maxEasting) - model.minEasting;
    const double spanN = double(model.maxNorthing) - model.minNorthing;
    // Eight pixels around a full picture; none around a thumbnail.
    const double margin = std::min(8, std::min(width, height) / 16);
    const double roomX = std::max(1.0, width - 2 * margin);
    const double roomY = std::max(1.0, height - 2 * margin);
    double scale = 1;
    if (spanE > 0 || spanN > 0)
        scale = std::min(spanE > 0 ? roomX / spanE : roomY / spanN,
                         spanN > 0 ? roomY / spanN : roomX / spanE);
    const double centreE = (double(model.minEasting) + model.maxEasting) / 2;
    const double centreN = (double(model.minNorthing) + model.maxNorthing) / 2;
    return {scale, centreE - width / 2.0 / scale, centreN + height / 2.0 / scale};
}

Viewport zoomAbout(const Viewport& viewport, double factor, double x, double y) {
    const double e = viewport.left + x / viewport.scale;
    const double n = viewport.top - y / viewport.scale;
    const double scale = viewport.scale * factor;
    return {scale, e - x / scale, n + y / scale};
}

Viewport panBy(const Viewport& viewport, double dx, double dy) {
    return {viewport.scale, viewport.left - dx / viewport.scale,
            viewport.top + dy / viewport.scale};
}

SurfacePainter::SurfacePainter(const SurfaceModel& model, const Viewport& viewport, int width,
                               int height, const SurfaceMarks& marks)
    : model_(model), viewport_(viewport), marks_(marks) {
    picture_.width = std::max(0, width);
    picture_.height = std::max(0, height);
    picture_.pixels.assign(std::size_t(picture_.width) * std::size_t(picture_.height), kBackground);
}

void SurfacePainter::drawFace(const Corners& corners, bool outside, std::int64_t position) {
    if (picture_.pixels.empty())
        return;
    ScreenPoint v[3];
    for (std::size_t k = 0; k < 3; ++k)
        v[k] = onScreen(model_, viewport_, corners[k]);
    Canvas canvas(picture_);
    std::uint8_t fill = outside ? kOutsideFill : kInsideFill;
    std::uint8_t edge = outside ? kOutsideEdge : kInsideEdge;
    const auto mark =
        std::lower_bound(marks_.faces.begin(), marks_.faces.end(), std::pair{position, -1});
    if (mark != marks_.faces.end() && mark->first == position)
        fill = edge = std::uint8_t(kFirstMark + mark->second);
    paintFace(canvas, v, fill, edge);
}

Picture SurfacePainter::finish() {
    markBoundary(picture_);
    Canvas canvas(picture_);
    // A dark ring around each, so that a point stands out from a face of any colour.
    for (const auto& [id, mark] : marks_.points) {
        const std::uint32_t slot = model_.slotOf(id);
        if (picture_.pixels.empty() || 2 * std::size_t(slot) + 1 >= model_.coordinates.size())
            continue;
        const ScreenPoint at = onScreen(model_, viewport_, slot);
        if (std::isnan(at.x) || std::isnan(at.y) || std::abs(at.x) > 1e6 || std::abs(at.y) > 1e6)
            continue;
        paintSquare(canvas, at.x, at.y, 4, kBoundary, true);
        paintSquare(canvas, at.x, at.y, 3, std::uint8_t(kFirstMark + mark), true);
    }
    return std::move(picture_);
}

Picture drawSurface(const SurfaceModel& model, const Viewport& viewport, int width, int height,
                    const SurfaceMarks& marks) {
    SurfacePainter painter(model, viewport, width, height, marks);
    // Faces that could not be drawn are not in the model; their positions are.
    std::int64_t position = 0;
    auto skipped = model.skippedPositions.begin();
    for (std::size_t f = 0; f < model.outside.size(); ++f) {
        ++position;
        while (skipped != model.skippedPositions.end() && *skipped == position) {
            ++skipped;
            ++position;
        }
        painter.drawFace({model.corners[3 * f], model.corners[3 * f + 1], model.corners[3 * f + 2]},
                         model.outside[f], position);
    }
    return painter.finish();
}

} // namespace tidy
