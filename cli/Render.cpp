// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Render.h"

#include "cli/Output.h"
#include "cli/Png.h"
#include "core/landxml/Document.h"
#include "core/landxml/Error.h"
#include "core/landxml/FileRun.h"
#include "core/platform/AtomicFile.h"
#include "core/surfaces/SurfaceModel.h"
#include "core/surfaces/SurfacePicture.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

namespace tidycli {

namespace {

pugi::xml_node findSurface(const tidy::Document& document, const Command& options,
                           const std::string& file) {
    if (!document.loaded())
        throw tidy::Error(file + ": no such file");
    const pugi::xml_node surface = options.surface ? tidy::surfaceNamed(document, *options.surface)
                                                   : tidy::listedSurface(document, 0);
    if (!surface)
        throw tidy::Error(file + (options.surface
                                      ? ": no surface named " + tidy::quotedText(*options.surface)
                                      : ": no surface to draw"));
    return surface;
}

// Faces are drawn as they are read, without a list of them: next to the document, that list
// would push the peak memory of a large model past three times the file.
tidy::Picture draw(const Command& options, const std::string& file, tidy::SurfaceModel& model) {
    const tidy::Document document = tidy::Document::open(file);
    tidy::requireLandXmlRoot(document);
    const pugi::xml_node surface = findSurface(document, options, file);
    model = tidy::readSurfacePoints(document, surface);
    tidy::SurfacePainter painter(model, tidy::fitViewport(model, options.width, options.height),
                                 options.width, options.height);
    tidy::readSurfaceFaces(document, surface, model,
                           [&painter](const tidy::Corners& corners, bool outside) {
                               painter.drawFace(corners, outside);
                           });
    return painter.finish();
}

} // namespace

Object render(const Command& options, const std::string& file) {
    const std::string& output = *options.output;
    std::error_code ignored;
    if (std::filesystem::equivalent(file, output, ignored))
        throw tidy::Error(file + ": -o names the input file; the picture would replace it");
    tidy::SurfaceModel model;
    const tidy::Picture picture = draw(options, file, model);
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

} // namespace tidycli
