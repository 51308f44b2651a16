// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Render.h"

#include "cli/Output.h"
#include "cli/Png.h"
#include "landxml/Document.h"
#include "landxml/Error.h"
#include "surfaces/SurfaceModel.h"
#include "surfaces/SurfacePicture.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace tidycli {

namespace {

constexpr int kDefaultWidth = 1600;
constexpr int kDefaultHeight = 1200;
constexpr int kLargestSide = 16384;

struct RenderOptions {
    std::optional<std::string> surface;
    int width = kDefaultWidth;
    int height = kDefaultHeight;
    std::optional<std::string> output;
    bool json = false;
    bool help = false;
    std::optional<std::string> file;
};

struct RenderUsageError {
    std::string message;
};

bool parseSide(std::string_view text, int& side) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), side);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && side >= 1 &&
           side <= kLargestSide;
}

void parseSize(const std::string& text, RenderOptions& options) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos || !parseSide(std::string_view(text).substr(0, x), options.width) ||
        !parseSide(std::string_view(text).substr(x + 1), options.height))
        throw RenderUsageError{"--size needs WxH, each from 1 to " + std::to_string(kLargestSide) +
                               ", got \"" + text + "\""};
}

RenderOptions parseRender(const std::vector<std::string>& args) {
    RenderOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw RenderUsageError{a + " needs a value"};
            return args[++i];
        };
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            if (options.file)
                throw RenderUsageError{"render takes one FILE only"};
            options.file = a;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help") {
            options.help = true;
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--surface") {
            options.surface = value();
        } else if (a == "--size") {
            parseSize(value(), options);
        } else if (a == "-o" && !options.output) {
            options.output = value();
        } else {
            throw RenderUsageError{a == "-o" ? "-o given twice"
                                             : "unknown option \"" + a + "\" for render"};
        }
    }
    if (!options.help && !options.file)
        throw RenderUsageError{"no FILE given"};
    if (!options.help && !options.output)
        throw RenderUsageError{"render needs -o OUT.png"};
    return options;
}

pugi::xml_node findSurface(const tidy::Document& document, const RenderOptions& options) {
    const std::string& file = *options.file;
    if (!document.loaded())
        throw tidy::Error(file + ": no such file");
    const pugi::xml_node surface = options.surface ? tidy::surfaceNamed(document, *options.surface)
                                                   : tidy::listedSurface(document, 0);
    if (!surface)
        throw tidy::Error(file + (options.surface
                                      ? ": no surface named \"" + *options.surface + "\""
                                      : ": no surface to draw"));
    return surface;
}

// Faces are drawn as they are read, without a list of them: next to the document, that list
// would push the peak memory of a large model past three times the file.
tidy::Picture draw(const RenderOptions& options, tidy::SurfaceModel& model) {
    const tidy::Document document = tidy::Document::open(*options.file);
    const pugi::xml_node surface = findSurface(document, options);
    model = tidy::readSurfacePoints(document, surface);
    tidy::SurfacePainter painter(model, tidy::fitViewport(model, options.width, options.height),
                                 options.width, options.height);
    tidy::readSurfaceFaces(document, surface, model,
                           [&painter](const tidy::Corners& corners, bool outside) {
                               painter.drawFace(corners, outside);
                           });
    return painter.finish();
}

Object render(const RenderOptions& options) {
    const std::string& file = *options.file;
    const std::string& output = *options.output;
    std::error_code ignored;
    if (std::filesystem::equivalent(file, output, ignored))
        throw tidy::Error(file + ": -o names the input file; the picture would replace it");
    tidy::SurfaceModel model;
    const tidy::Picture picture = draw(options, model);
    if (model.faceCount == 0)
        throw tidy::Error(file + ": surface \"" + model.name + "\" has no faces to draw");
    if (model.skippedFaces == model.faceCount)
        throw tidy::Error(file + ": surface \"" + model.name + "\": " + tidy::describeGaps(model));
    if (model.skippedFaces > 0)
        std::cerr << "tidyland: " << file << ": warning: " << tidy::describeGaps(model) << "\n";
    writeFileAtomically(output, encodePng(picture));
    return {{"file", file},
            {"output", output},
            {"surface", model.name},
            {"faces", model.faceCount},
            {"outsideFaces", model.outsideFaceCount},
            {"points", model.pointCount},
            {"skippedFaces", model.skippedFaces}};
}

} // namespace

int renderCommand(const std::vector<std::string>& args, std::string_view usage) {
    RenderOptions options;
    try {
        options = parseRender(args);
    } catch (const RenderUsageError& e) {
        std::cerr << "tidyland: " << e.message << "\n" << usage;
        return kUsageError;
    }
    if (options.help) {
        std::cout << usage;
        return kSuccess;
    }
    const std::string& file = *options.file;
    try {
        const Object result = render(options);
        if (options.json)
            std::cout << toJson(result) << "\n";
        else
            writeReport(std::cout, result);
        return kSuccess;
    } catch (const std::exception& e) {
        const std::string message = e.what();
        if (options.json) {
            std::cout << toJson(Object{{"file", file}, {"error", message}}) << "\n";
        } else {
            const bool named = message.rfind(file + ":", 0) == 0;
            std::cerr << "tidyland: " << (named ? "" : file + ": ") << message << "\n";
        }
        return kFileFailed;
    }
}

} // namespace tidycli
