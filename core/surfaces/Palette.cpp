// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/Palette.h"

#include <array>
#include <stdexcept>
#include <string>

namespace tidy {
namespace {

// Channel weights of the 24 hue groups (entries 10 to 249) in quarters: 4 is full, 0 is none.
constexpr std::array<std::array<int, 3>, 24> kHueWeights{{
    {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
    {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4},
    {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
}};

// Channel value by shade (rows) and weight in quarters (columns). These are measured table
// values, not the result of a formula, so they are listed rather than computed.
constexpr std::array<std::array<std::uint8_t, 5>, 5> kSaturated{{
    {0, 63, 127, 191, 255},
    {0, 46, 94, 141, 189},
    {0, 31, 64, 96, 129},
    {0, 25, 52, 78, 104},
    {0, 19, 39, 59, 79},
}};
constexpr std::array<std::array<std::uint8_t, 5>, 5> kPastel{{
    {170, 191, 212, 234, 255},
    {126, 141, 157, 173, 189},
    {86, 96, 107, 118, 129},
    {69, 78, 86, 95, 104},
    {53, 59, 66, 73, 79},
}};

constexpr std::array<PaletteEntry, 10> kBasic{{
    {0, 0, 0},
    {255, 0, 0},
    {255, 255, 0},
    {0, 255, 0},
    {0, 255, 255},
    {0, 0, 255},
    {255, 0, 255},
    {255, 255, 255},
    {65, 65, 65},
    {128, 128, 128},
}};

constexpr std::array<std::uint8_t, 6> kGreys{51, 80, 105, 130, 190, 255};

constexpr std::array<PaletteEntry, Palette::Size> buildTable() {
    std::array<PaletteEntry, Palette::Size> table{};
    for (std::size_t i = 0; i < kBasic.size(); ++i)
        table[i] = kBasic[i];
    for (int i = 10; i < 250; ++i) {
        const auto& weights = kHueWeights[static_cast<std::size_t>((i - 10) / 10)];
        const int position = (i - 10) % 10;
        const auto& values = (position % 2 == 1 ? kPastel : kSaturated)[position / 2];
        table[static_cast<std::size_t>(i)] = {values[static_cast<std::size_t>(weights[0])],
                                              values[static_cast<std::size_t>(weights[1])],
                                              values[static_cast<std::size_t>(weights[2])]};
    }
    for (std::size_t i = 0; i < kGreys.size(); ++i)
        table[250 + i] = {kGreys[i], kGreys[i], kGreys[i]};
    return table;
}

constexpr std::array<PaletteEntry, Palette::Size> kTable = buildTable();

} // namespace

PaletteEntry Palette::entry(std::int32_t index) {
    if (!contains(index))
        throw std::out_of_range("palette index " + std::to_string(index) + " is not 0 to 255");
    return kTable[static_cast<std::size_t>(index)];
}

} // namespace tidy
