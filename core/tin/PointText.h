// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Point texts as LandXML writes them, read and written with "." whatever the locale.

#include <optional>
#include <string>
#include <string_view>

namespace tidy {

// The plan coordinates of a point, in the order the point text gives them (northing, easting).
struct PointText {
    double p = 0.0;
    double q = 0.0;
};

// The first two tokens of a point text, both numbers; the elevation and anything after it are
// not read. nullopt when there are fewer than two tokens or either is not a number.
std::optional<PointText> SplitPointText(std::string_view text);

// "p q" as printf's "%f %f" writes it in the C locale: fixed, six decimals, one blank.
std::string formatPointText(double p, double q);

// `text` with its first two tokens replaced by formatPointText(p, q): the elevation and whatever
// else follows them, and what stands before them, stay as they were.
std::string replacePlanCoordinates(std::string_view text, double p, double q);

} // namespace tidy
