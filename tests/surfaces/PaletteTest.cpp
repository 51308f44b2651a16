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

// The fixed entries at both ends, and rows spread over hue groups, shades and both kinds.
TEST(PaletteTest, MatchesTheCheckRows) {
    const struct {
        int index;
        PaletteEntry rgb;
    } rows[] = {
        {0, {0, 0, 0}},         {1, {255, 0, 0}},       {2, {255, 255, 0}},
        {3, {0, 255, 0}},       {4, {0, 255, 255}},     {5, {0, 0, 255}},
        {6, {255, 0, 255}},     {7, {255, 255, 255}},   {8, {65, 65, 65}},
        {9, {128, 128, 128}},   {20, {255, 63, 0}},     {21, {255, 191, 170}},
        {27, {104, 78, 69}},    {37, {104, 86, 69}},    {55, {129, 129, 86}},
        {61, {234, 255, 170}},  {100, {0, 255, 63}},    {131, {170, 255, 255}},
        {143, {126, 173, 189}}, {175, {86, 86, 129}},   {199, {66, 53, 79}},
        {200, {191, 0, 255}},   {238, {79, 0, 39}},     {249, {79, 53, 59}},
        {250, {51, 51, 51}},    {251, {80, 80, 80}},    {252, {105, 105, 105}},
        {253, {130, 130, 130}}, {254, {190, 190, 190}}, {255, {255, 255, 255}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Palette::entry(row.index), row.rgb) << "index " << row.index;
}

// palette.csv, derived independently: a header, then "index,red,green,blue" for every entry.
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
    EXPECT_EQ(Palette::colorValue(1), 0x0000FFu);
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
