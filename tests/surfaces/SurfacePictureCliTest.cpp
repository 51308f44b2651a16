// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland render as scripts see it: the PNG it writes, its report and its exit status.
#include "TestSupport.h"
#include "Tidyland.h"
#include "surfaces/SurfaceModel.h"
#include "surfaces/SurfacePicture.h"

#include <QImage>
#include <gtest/gtest.h>

using tidytest::dataPath;
using tidytest::runTidyland;
using tidytest::TempDir;

namespace {

const std::string kSideBySide = dataPath("picture/inside_and_outside/input.xml");

QImage rgb(const std::string& path) {
    return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
}

} // namespace

// The golden picture, and the very pixels the window is given for the same surface and size.
TEST(SurfacePictureCliTest, RenderWritesTheWindowsPicture) {
    TempDir dir;
    const std::string out = dir.file("out.png");
    const auto r = runTidyland({"render", "--size", "40x20", "--json", "-o", out, kSideBySide});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "{\"file\":\"" + kSideBySide + "\",\"output\":\"" + out +
                         "\",\"surface\":\"side by side\",\"faces\":4,\"outsideFaces\":2,"
                         "\"points\":6,\"skippedFaces\":0}\n");
    const QImage written = rgb(out);
    ASSERT_EQ(written.size(), QSize(40, 20));
    EXPECT_EQ(written, rgb(dataPath("render/inside_and_outside_40x20.png")));

    const tidy::Document document = tidy::Document::open(kSideBySide);
    const tidy::SurfaceModel model =
        tidy::readSurfaceModel(document, tidy::listedSurface(document, 0));
    const tidy::Picture picture =
        tidy::drawSurface(model, tidy::fitViewport(model, 40, 20), 40, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(written.pixel(x, y) & 0xFFFFFF, tidy::kPicturePalette[picture.at(x, y)])
                << x << "," << y;
    EXPECT_EQ(dir.listing(), "out.png");
}

// Failures name the file, write nothing and leave no temporary file; usage errors exit 2.
TEST(SurfacePictureCliTest, FailuresWriteNothing) {
    const std::string noFaces = dataPath("picture/no_faces/input.xml");
    const std::string gap = dataPath("picture/missing_point/input.xml");
    struct Case {
        std::vector<std::string> args; // "OUT" stands for the output in a fresh folder
        int status;
        std::string err; // the start of stderr
        bool written;
    };
    const std::vector<Case> cases = {
        {{"-o", "OUT", noFaces},
         1,
         "tidyland: " + noFaces + ": surface \"points only\" has no faces to draw\n",
         false},
        {{"--surface", "none", "-o", "OUT", kSideBySide},
         1,
         "tidyland: " + kSideBySide + ": no surface named \"none\"\n",
         false},
        {{"-o", "OUT", gap}, 0, "tidyland: " + gap + ": warning: 1 of 2 faces name points", true},
        {{"--size", "0x5", "-o", "OUT", kSideBySide}, 2, "tidyland: --size needs WxH", false},
        {{"--size", "40", "-o", "OUT", kSideBySide}, 2, "tidyland: --size needs WxH", false},
        {{kSideBySide}, 2, "tidyland: render needs -o OUT.png\n", false},
        {{"-o", "OUT", kSideBySide, gap}, 2, "tidyland: render takes one FILE only\n", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::vector<std::string> args = {"render"};
        for (const std::string& a : c.args)
            args.push_back(a == "OUT" ? dir.file("out.png") : a);
        SCOPED_TRACE(args[args.size() - 1] + " " + args[1]);
        const auto r = runTidyland(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(dir.listing(), c.written ? "out.png" : "");
    }
}

// The picture must never take the place of the survey it shows.
TEST(SurfacePictureCliTest, RefusesToWriteOverItsInput) {
    TempDir dir;
    const std::string survey = dir.write("survey.xml", tidytest::readFile(kSideBySide));
    const auto r = runTidyland({"render", "-o", survey, survey});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(tidytest::readFile(survey), tidytest::readFile(kSideBySide));
    EXPECT_EQ(dir.listing(), "survey.xml");
}
