// SPDX-License-Identifier: GPL-3.0-or-later
// The surface picture: each folder of tests/data/picture holds a LandXML file (its first surface
// is drawn) and the expected picture, one character a pixel, with the counts and the message.
// TIDY_UPDATE=1 rewrites the expectations for a reviewer to read in the diff.
#include "core/surfaces/SurfacePicture.h"
#include "TestSupport.h"
#include "core/landxml/Nodes.h"
#include "core/surfaces/ScanDocument.h"
#include "core/surfaces/SurfaceModel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using tidytest::readFile;

namespace {

// One character per PictureColor, in palette order.
constexpr const char* kPixelChars = ".-+o#B";

std::string describe(const std::string& input, int width, int height) {
    const tidy::Document document = tidy::Document::open(input);
    const tidy::SurfaceModel model =
        tidy::readSurfaceModel(document, tidy::listedSurface(document, 0));
    const tidy::Picture picture =
        tidy::drawSurface(model, tidy::fitViewport(model, width, height), width, height);
    std::string message = tidy::describeGaps(model);
    if (const auto at = message.find(input); at != std::string::npos)
        message.replace(at, input.size(), "input.xml");
    std::ostringstream out;
    out << "size: " << width << "x" << height << "\n"
        << "counts: faces " << model.faceCount << ", outside " << model.outsideFaceCount
        << ", points " << model.pointCount << ", skipped " << model.skippedFaces << "\n"
        << "message: " << message << "\n";
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x)
            out << kPixelChars[picture.at(x, y)];
        out << "\n";
    }
    return out.str();
}

} // namespace

TEST(SurfacePictureTest, CasesDrawAsExpected) {
    const fs::path cases = tidytest::dataPath("picture");
    const bool update = std::getenv("TIDY_UPDATE") != nullptr;
    int seen = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(cases)) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::string expectedPath = (entry.path() / "expected.txt").string();
        const std::string expected = readFile(expectedPath);
        int width = 0;
        int height = 0;
        ASSERT_EQ(std::sscanf(expected.c_str(), "size: %dx%d", &width, &height), 2);
        const std::string actual = describe((entry.path() / "input.xml").string(), width, height);
        if (update)
            tidytest::writeFile(expectedPath, actual);
        EXPECT_EQ(actual, expected);
        ++seen;
    }
    EXPECT_GE(seen, 5);
}

// The list lines of the scan and the surfaces the preview opens for them come from one walk.
TEST(SurfacePictureTest, ListLinesNameTheirSurfaces) {
    tidytest::TempDir dir;
    std::string surfaces = "<Surface name=\"A\"/><!-- note -->";
    for (int i = 1; i <= 11; ++i)
        surfaces += "<Surface name=\"S" + std::to_string(i) + "\"/>";
    const std::string path =
        dir.write("s.xml", "<LandXML><Surfaces>" + surfaces + "</Surfaces></LandXML>");
    const tidy::Document document = tidy::Document::open(path);
    const tidy::ScanCounts counts = tidy::ScanDocument(document, false, {});
    ASSERT_EQ(counts.listedNames.size(), 9u);
    for (std::size_t line = 0; line < counts.listedNames.size(); ++line)
        EXPECT_EQ(tidy::attributeText(tidy::listedSurface(document, int(line)), "name"),
                  counts.listedNames[line]);
    EXPECT_FALSE(tidy::listedSurface(document, 9));
    EXPECT_EQ(tidy::attributeText(tidy::surfaceNamed(document, "S11"), "name"), "S11");
    EXPECT_FALSE(tidy::surfaceNamed(document, "S12"));
}

// Zooming keeps the ground under the cursor; panning moves the picture with the mouse.
TEST(SurfacePictureTest, ZoomAndPanKeepTheGroundInPlace) {
    const tidy::Viewport start{2.0, 100.0, 50.0};
    const tidy::Viewport zoomed = tidy::zoomAbout(start, 4.0, 30.0, 10.0);
    EXPECT_DOUBLE_EQ(zoomed.scale, 8.0);
    EXPECT_DOUBLE_EQ(zoomed.left + 30.0 / zoomed.scale, start.left + 30.0 / start.scale);
    EXPECT_DOUBLE_EQ(zoomed.top - 10.0 / zoomed.scale, start.top - 10.0 / start.scale);
    const tidy::Viewport panned = tidy::panBy(start, 6.0, -4.0);
    EXPECT_DOUBLE_EQ(panned.left, 97.0); // dragged right: the ground to the west comes in
    EXPECT_DOUBLE_EQ(panned.top, 48.0);  // dragged up: the ground to the south comes in
}
