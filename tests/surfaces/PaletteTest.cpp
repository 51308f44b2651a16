// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/Palette.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tidy {
// Readable failures: "(104, 86, 69)" rather than three raw bytes.
void PrintTo(const PaletteEntry& e, std::ostream* os) {
    *os << '(' << int{e.red} << ", " << int{e.green} << ", " << int{e.blue} << ')';
}
} // namespace tidy

using tidy::Palette;
using tidy::PaletteEntry;

namespace {

// palette.csv, derived independently: a header, then "index,red,green,blue" for every entry.
// It holds the check rows too, so every entry is compared here.
TEST(PaletteTest, MatchesTheReferenceTableEverywhere) {
    std::istringstream in(tidytest::readFile(tidytest::dataPath("palette.csv")));
    std::string line;
    std::getline(in, line);
    int next = 0;
    while (std::getline(in, line)) {
        if (line.find_first_not_of("\r") == std::string::npos)
            continue;
        int index = -1, red = -1, green = -1, blue = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%d", &index, &red, &green, &blue), 4) << line;
        ASSERT_EQ(index, next++) << "palette.csv is out of order";
        EXPECT_EQ(Palette::entry(index),
                  (PaletteEntry{static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                                static_cast<std::uint8_t>(blue)}))
            << "index " << index;
    }
    EXPECT_EQ(next, 256);
}

TEST(PaletteTest, ColorValueHasRedInTheLowByte) {
    EXPECT_EQ(Palette::colorValue(5), 0xFF0000u);
    // (126, 173, 189)
    EXPECT_EQ(Palette::colorValue(143), 126u + 173u * 256u + 189u * 65536u);
}

TEST(PaletteTest, RefusesIndicesOutsideTheTable) {
    for (int index : {-1, 256, -2147483647 - 1, 2147483647}) {
        EXPECT_FALSE(Palette::contains(index)) << index;
        EXPECT_THROW(Palette::entry(index), std::out_of_range) << index;
    }
    EXPECT_TRUE(Palette::contains(0));
    EXPECT_TRUE(Palette::contains(255));
}

} // namespace
