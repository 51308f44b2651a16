// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/Faces.h"

#include "core/landxml/Nodes.h"

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
    std::array<std::int64_t, 3> values{};
    for (std::int64_t& value : values) {
        const std::optional<std::int64_t> read = integerValue(nextToken(text), rules);
        if (!read)
            return std::nullopt;
        value = *read;
    }
    if (!nextToken(text).empty())
        return std::nullopt;
    return values;
}

} // namespace tidy
