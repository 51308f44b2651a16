// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/Palette.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tidy {
// Readable failures: "(104, 86, 69)" rather than three raw bytes.
void PrintTo(const PaletteEntry& e, std::ostream* os) {
    *os << '(' << int{e.red} << ", " << int{e.green} << ", " << int{e.blue} << ')';
}
} // namespace tidy

using tidy::Palette;
using tidy::PaletteEntry;

namespace {

struct Row {
    int index;
    PaletteEntry rgb;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << "index " << row.index;
}

int field(std::string_view text) {
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw std::runtime_error("palette.csv: bad number \"" + std::string(text) + "\"");
    return value;
}

// palette.csv: a header, then "index,red,green,blue" for every entry.
std::vector<Row> referenceTable() {
    std::istringstream in(tidytest::readFile(tidytest::dataPath("palette.csv")));
    std::string line;
    std::getline(in, line);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::vector<int> f;
        std::string_view rest = line;
        for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos;
             rest.remove_prefix(comma + 1))
            f.push_back(field(rest.substr(0, comma)));
        f.push_back(field(rest));
        if (f.size() != 4)
            throw std::runtime_error("palette.csv: expected four fields in \"" + line + "\"");
        rows.push_back({f[0],
                        {static_cast<std::uint8_t>(f[1]), static_cast<std::uint8_t>(f[2]),
                         static_cast<std::uint8_t>(f[3])}});
    }
    return rows;
}

class PaletteRows : public testing::TestWithParam<Row> {};

TEST_P(PaletteRows, EntryHasItsTableValue) {
    const Row& row = GetParam();
    const PaletteEntry e = Palette::entry(row.index);
    EXPECT_EQ(e.red, row.rgb.red);
    EXPECT_EQ(e.green, row.rgb.green);
    EXPECT_EQ(e.blue, row.rgb.blue);
}

// The fixed entries at both ends, and rows spread over hue groups, shades and both kinds.
INSTANTIATE_TEST_SUITE_P(
    CheckRows, PaletteRows,
    testing::Values(Row{0, {0, 0, 0}}, Row{1, {255, 0, 0}}, Row{2, {255, 255, 0}},
                    Row{3, {0, 255, 0}}, Row{4, {0, 255, 255}}, Row{5, {0, 0, 255}},
                    Row{6, {255, 0, 255}}, Row{7, {255, 255, 255}}, Row{8, {65, 65, 65}},
                    Row{9, {128, 128, 128}}, Row{20, {255, 63, 0}}, Row{21, {255, 191, 170}},
                    Row{27, {104, 78, 69}}, Row{37, {104, 86, 69}}, Row{55, {129, 129, 86}},
                    Row{61, {234, 255, 170}}, Row{100, {0, 255, 63}}, Row{131, {170, 255, 255}},
                    Row{143, {126, 173, 189}}, Row{175, {86, 86, 129}}, Row{199, {66, 53, 79}},
                    Row{200, {191, 0, 255}}, Row{238, {79, 0, 39}}, Row{249, {79, 53, 59}},
                    Row{250, {51, 51, 51}}, Row{251, {80, 80, 80}}, Row{252, {105, 105, 105}},
                    Row{253, {130, 130, 130}}, Row{254, {190, 190, 190}},
                    Row{255, {255, 255, 255}}));

TEST(PaletteTest, MatchesTheReferenceTableEverywhere) {
    const std::vector<Row> rows = referenceTable();
    ASSERT_EQ(rows.size(), 256u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].index, static_cast<int>(i)) << "palette.csv is out of order";
        EXPECT_EQ(Palette::entry(rows[i].index), rows[i].rgb) << "index " << rows[i].index;
    }
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
