// SPDX-License-Identifier: GPL-3.0-or-later
// tidyland render against the window: the PNG it writes holds the window's pixels. Its bytes,
// report, failures and warnings are golden cases (tests/cases/render, cli/render-*).
#include "TestSupport.h"
#include "Tidyland.h"
#include "core/surfaces/SurfaceModel.h"
#include "core/surfaces/SurfacePicture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

using tidytest::dataPath;
using tidytest::runTidyland;
using tidytest::TempDir;

namespace {

const std::string kSideBySide = dataPath("picture/inside_and_outside/input.xml");

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, row by row
};

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

// The pixels of an 8-bit palette PNG whose rows carry filter type 0, as tidyland writes them;
// any other PNG fails the test rather than comparing wrongly.
Rgb decode(const std::string& png) {
    Rgb rgb;
    std::string palette;
    std::string data;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = bigEndian(png, at);
        const std::string type = png.substr(at + 4, 4);
        const std::string body = png.substr(at + 8, length);
        if (type == "IHDR") {
            rgb.width = int(bigEndian(body, 0));
            rgb.height = int(bigEndian(body, 4));
            EXPECT_EQ(body.substr(8), std::string("\x08\x03\x00\x00\x00", 5));
        }
        palette += type == "PLTE" ? body : "";
        data += type == "IDAT" ? body : "";
        at += 12 + length;
    }
    std::string rows(std::size_t(rgb.width + 1) * std::size_t(rgb.height), '\0');
    uLongf size = uLongf(rows.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                         reinterpret_cast<const Bytef*>(data.data()), uLong(data.size())),
              Z_OK);
    for (int y = 0; y < rgb.height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(rgb.width + 1);
        EXPECT_EQ(rows[row], '\0') << "filter of row " << y;
        for (int x = 0; x < rgb.width; ++x) {
            const std::size_t entry = 3 * std::uint8_t(rows[row + 1 + std::size_t(x)]);
            rgb.pixels.push_back(std::uint32_t(std::uint8_t(palette[entry])) << 16 |
                                 std::uint32_t(std::uint8_t(palette[entry + 1])) << 8 |
                                 std::uint8_t(palette[entry + 2]));
        }
    }
    return rgb;
}

} // namespace

// The very pixels the window is given for the same surface and size.
TEST(SurfacePictureCliTest, RenderWritesTheWindowsPicture) {
    TempDir dir;
    const std::string out = dir.file("out.png");
    const auto r = runTidyland({"render", "--size", "40x20", "-o", out, kSideBySide});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Rgb written = decode(tidytest::readFile(out));
    ASSERT_EQ(written.width, 40);
    ASSERT_EQ(written.height, 20);

    const tidy::Document document = tidy::Document::open(kSideBySide);
    const tidy::SurfaceModel model =
        tidy::readSurfaceModel(document, tidy::listedSurface(document, 0));
    const tidy::Picture picture =
        tidy::drawSurface(model, tidy::fitViewport(model, 40, 20), 40, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(written.pixels[std::size_t(y * 40 + x)],
                      tidy::kPicturePalette[picture.at(x, y)])
                << x << "," << y;
    EXPECT_EQ(dir.listing(), "out.png");
}
