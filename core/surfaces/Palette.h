// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace tidy {

// One palette colour as three bytes.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// The fixed 256-colour table that surface colour indices refer to. The file stores the index,
// never the colour, so the table must not change.
class Palette {
public:
    static constexpr int Size = 256;

    // Whether `index` names an entry (0 to 255).
    static constexpr bool contains(std::int32_t index) { return index >= 0 && index < Size; }

    // The entry at `index`; throws std::out_of_range outside 0 to 255.
    static PaletteEntry entry(std::int32_t index);
};

} // namespace tidy
