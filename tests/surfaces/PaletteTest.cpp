// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/Palette.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>

using tidy::Palette;

namespace {

// palette.csv, derived independently: a header, then "index,red,green,blue" for every entry.
// Each entry and its colour value, red in the low byte, are compared with it.
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
        const tidy::PaletteEntry entry = Palette::entry(index);
        EXPECT_EQ((std::array{int{entry.red}, int{entry.green}, int{entry.blue}}),
                  (std::array{red, green, blue}))
            << "index " << index;
    }
    EXPECT_EQ(next, 256);
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
