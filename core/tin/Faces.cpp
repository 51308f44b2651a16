// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/Faces.h"

#include "core/landxml/Nodes.h"

#include <algorithm>

namespace tidy {

// Without the search for a prefix in the common case of a bare "F".
bool isFace(pugi::xml_node node) {
    const char* name = node.name();
    if (name[0] == 'F' && name[1] == '\0')
        return node.type() == pugi::node_element;
    return localName(node) == "F";
}

// Nearly every face carries "1", "0" or nothing; any other text takes the full reading.
bool isOutside(const Document& document, pugi::xml_node face) {
    const pugi::xml_attribute i = face.attribute("i");
    if (!i)
        return false;
    const char* text = i.value();
    if ((text[0] == '0' || text[0] == '1') && text[1] == '\0')
        return text[0] == '1';
    return attributeInt(document, face, "i") == 1;
}

std::optional<std::array<std::int64_t, 3>> readThreeIntegers(std::string_view text,
                                                             const IntegerRules& rules) {
    // What readInteger does for each token, in one pass over the text: this runs for the "n" and
    // the corners of every face of a model.
    const auto separator = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    constexpr std::int64_t kBeyond = std::int64_t(1) << 40;
    const char* at = text.data();
    const char* const end = at + text.size();
    std::array<std::int64_t, 3> values{};
    for (std::int64_t& value : values) {
        while (at != end && separator(*at))
            ++at;
        const bool negative = at != end && *at == '-' && rules.minus;
        if (at != end && ((*at == '+' && rules.plus) || negative))
            ++at;
        const char* const digits = at;
        std::int64_t magnitude = 0; // held at 2^40 once past it, as readInteger does
        for (; at != end && *at >= '0' && *at <= '9'; ++at)
            if (magnitude < kBeyond)
                magnitude = magnitude * 10 + (*at - '0');
        magnitude = std::min(magnitude, kBeyond);
        if (at == digits || (at != end && !separator(*at)))
            return std::nullopt;
        value = negative ? -magnitude : magnitude;
        if (value < rules.least || value > rules.most)
            return std::nullopt;
    }
    while (at != end && separator(*at))
        ++at;
    if (at != end)
        return std::nullopt;
    return values;
}

} // namespace tidy
