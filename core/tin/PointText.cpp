// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/PointText.h"

#include "core/tin/Numbers.h"

#include <charconv>

namespace tidy {

std::optional<PointText> SplitPointText(std::string_view text) {
    const std::optional<double> p = parseNumber(nextToken(text));
    if (!p)
        return std::nullopt;
    const std::optional<double> q = parseNumber(nextToken(text));
    if (!q)
        return std::nullopt;
    return PointText{*p, *q};
}

std::string replacePlanCoordinates(std::string_view text, double p, double q) {
    std::string_view rest = text;
    const std::string_view first = nextToken(rest);
    nextToken(rest);
    const std::size_t before =
        first.empty() ? text.size() - rest.size() : std::size_t(first.data() - text.data());
    return std::string(text.substr(0, before)) + formatPointText(p, q) + std::string(rest);
}

std::string formatPointText(double p, double q) {
    // Fixed notation of the largest double needs 309 digits before the point.
    char buffer[2 * 330];
    char* const end = buffer + sizeof buffer;
    char* at = std::to_chars(buffer, end, p, std::chars_format::fixed, 6).ptr;
    *at++ = ' ';
    at = std::to_chars(at, end, q, std::chars_format::fixed, 6).ptr;
    return std::string(buffer, at);
}

} // namespace tidy
