// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland render: one surface in plan view as a PNG.
#include "cli/Png.h"
#include "cli/commands/Command.h"
#include "core/landxml/Document.h"
#include "core/landxml/FileRun.h"
#include "core/platform/AtomicFile.h"
#include "core/surfaces/SurfaceModel.h"
#include "core/surfaces/SurfacePicture.h"

#include <CLI/CLI.hpp>

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
    tidy::Picture draw(const std::string& file, tidy::SurfaceModel& model) const;

    std::vector<std::string> surfaces_, sizes_; // each at most once
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
// would push the peak memory of a large model past three times the file. The check's marks stay
// out for the same reason: its arrays next to the document took the peak to 3.4 times.
tidy::Picture Render::draw(const std::string& file, tidy::SurfaceModel& model) const {
    const tidy::Document document = tidy::Document::open(file);
    tidy::requireLandXmlRoot(document);
    const pugi::xml_node surface = findSurface(document, file);
    model = tidy::readSurfacePoints(document, surface);
    tidy::SurfacePainter painter(model, tidy::fitViewport(model, width_, height_), width_, height_);
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
    const tidy::Picture picture = draw(file, model);
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
    return {{"file", file},
            {"output", output},
            {"surface", model.name},
            {"faces", model.faceCount},
            {"outsideFaces", model.outsideFaceCount},
            {"points", model.pointCount},
            {"skippedFaces", model.skippedFaces}};
}

} // namespace

extern const CommandRow kRenderCommand{
    .name = "render",
    .usage = "[--surface NAME] [--size WxH] -o OUT.png [--json] FILE",
    .what = "Draw one surface of FILE as a PNG.",
    .writes = Writes::Picture,
    .make = makeCommand<Render>,
};

} // namespace tidycli
