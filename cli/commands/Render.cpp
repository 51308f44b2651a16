// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland render: one surface in plan view as a PNG.
#include "cli/Png.h"
#include "cli/commands/Command.h"
#include "core/cleaning/CheckSurfaces.h"
#include "core/landxml/Document.h"
#include "core/landxml/FileRun.h"
#include "core/platform/AtomicFile.h"
#include "core/surfaces/SurfaceModel.h"
#include "core/surfaces/SurfacePicture.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace tidycli {

namespace {

constexpr int kLargestSide = 16384;

std::optional<std::pair<int, int>> pictureSize(std::string_view text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const auto width = decimal(text.substr(0, x), 1, kLargestSide);
    const auto height = decimal(text.substr(x + 1), 1, kLargestSide);
    if (!width || !height)
        return std::nullopt;
    return std::pair{*width, *height};
}

// The picture's legend: each kind marked, its colour and how many faces or points carry it.
Object legendOf(tidy::SurfaceMarks& marks) {
    std::array<std::int64_t, tidy::kMarks> counts{};
    std::sort(marks.faces.begin(), marks.faces.end());
    std::sort(marks.points.begin(), marks.points.end());
    const auto count = [&counts](const auto& list) {
        for (std::size_t k = 0; k < list.size(); ++k)
            if (k == 0 || list[k] != list[k - 1]) // a face on two bad edges is one face
                ++counts[std::size_t(list[k].second)];
    };
    count(marks.faces);
    count(marks.points);
    Object legend = Object::array();
    for (std::size_t k = 0; k < tidy::kFindingKinds; ++k) {
        const auto kind = tidy::FindingKind(k);
        const int mark = tidy::markOf(kind);
        if (mark < 0 || counts[std::size_t(mark)] == 0)
            continue;
        char color[8];
        std::snprintf(color, sizeof color, "#%06X",
                      unsigned(tidy::kPicturePalette[tidy::kFirstMark + std::size_t(mark)]));
        legend.push_back({{"kind", tidy::findingName(kind)},
                          {"color", color},
                          {"count", counts[std::size_t(mark)]}});
    }
    return legend;
}

std::string sizeCheck(const std::string& text) {
    return pictureSize(text)
               ? ""
               : "--size needs WxH, each from 1 to " + std::to_string(kLargestSide) + got(text);
}

class Render final : public Command {
public:
    void addOptions(CLI::App& sub) override {
        addRepeated(sub, "--surface", surfaces_, "NAME", "the surface to draw (the first)");
        addRepeated(sub, "--size", sizes_, "WxH", "the picture's size (1600x1200)")
            ->check(sizeCheck);
        sub.add_flag("--marks", marks_, "mark the faces and points check finds fault with");
    }

    void finish() override {
        refuseTwice("--surface", surfaces_);
        refuseTwice("--size", sizes_);
        if (!sizes_.empty())
            std::tie(width_, height_) = *pictureSize(sizes_.front());
    }

    Object run(const SharedOptions& options, const std::string& file) const override;

private:
    pugi::xml_node findSurface(const tidy::Document& document, const std::string& file) const;
    tidy::Picture draw(const std::string& file, tidy::SurfaceModel& model,
                       tidy::SurfaceMarks& marks) const;

    std::vector<std::string> surfaces_, sizes_; // each at most once
    bool marks_ = false;
    int width_ = 1600;
    int height_ = 1200;
};

pugi::xml_node Render::findSurface(const tidy::Document& document, const std::string& file) const {
    if (!document.loaded())
        throw noSuchFile(file);
    const pugi::xml_node surface = surfaces_.empty() ? tidy::listedSurface(document, 0)
                                                     : tidy::surfaceNamed(document, surfaces_[0]);
    if (!surface)
        throw tidy::Error(file + (surfaces_.empty()
                                      ? ": no surface to draw"
                                      : ": no surface named " + tidy::quotedText(surfaces_[0])));
    return surface;
}

// Faces are drawn as they are read, without a list of them: next to the document, that list
// would push the peak memory of a large model past three times the file. The check's arrays
// would too (3.4 times the 100 MB file), so marks are asked for; they are gone before the points
// are read.
tidy::Picture Render::draw(const std::string& file, tidy::SurfaceModel& model,
                           tidy::SurfaceMarks& marks) const {
    tidy::Document document = tidy::Document::open(file);
    tidy::requireLandXmlRoot(document);
    const pugi::xml_node surface = findSurface(document, file);
    if (marks_) {
        tidy::MarkedFindings found = tidy::findingsToMark(document, surface);
        marks = {std::move(found.faces), std::move(found.points)};
    }
    model = tidy::readSurfacePoints(document, surface);
    tidy::SurfacePainter painter(model, tidy::fitViewport(model, width_, height_), width_, height_,
                                 marks);
    tidy::readSurfaceFaces(
        document, surface, model,
        [&painter](const tidy::Corners& corners, bool outside, std::int32_t position) {
            painter.drawFace(corners, outside, position);
        });
    return painter.finish();
}

Object Render::run(const SharedOptions& options, const std::string& file) const {
    const std::string& output = *options.output;
    std::error_code ignored;
    if (std::filesystem::equivalent(file, output, ignored))
        throw tidy::Error(file + ": -o names the input file; the picture would replace it");
    tidy::SurfaceModel model;
    tidy::SurfaceMarks marks;
    const tidy::Picture picture = draw(file, model, marks);
    if (model.faceCount == 0)
        throw tidy::Error(file + ": surface " + tidy::quotedText(model.name) +
                          " has no faces to draw");
    if (model.skippedFaces == model.faceCount)
        throw tidy::Error(file + ": surface " + tidy::quotedText(model.name) + ": " +
                          tidy::describeGaps(model));
    if (model.skippedFaces > 0)
        std::cerr << "tidyland: "
                  << tidy::shownText(file + ": warning: " + tidy::describeGaps(model)) << "\n";
    tidy::writeFileAtomically(output, encodePng(picture));
    Object result{{"file", file},
                  {"output", output},
                  {"surface", model.name},
                  {"faces", model.faceCount},
                  {"outsideFaces", model.outsideFaceCount},
                  {"points", model.pointCount},
                  {"skippedFaces", model.skippedFaces}};
    if (marks_)
        result["marks"] = legendOf(marks);
    return result;
}

} // namespace

extern const CommandRow kRenderCommand{
    .name = "render",
    .usage = "[--surface NAME] [--size WxH] [--marks] -o OUT.png [--json] FILE",
    .what = "Draw one surface of FILE as a PNG.",
    .writes = Writes::Picture,
    .make = makeCommand<Render>,
};

} // namespace tidycli
