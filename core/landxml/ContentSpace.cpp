// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/ContentSpace.h"

#include <cstring>

namespace tidy::detail {

namespace {

bool isBlank(const char* text) {
    return text[std::strspn(text, " \t\r\n")] == '\0';
}

// Whether the element holds text beside other children: then the whitespace between them is
// content, and the save adds none.
bool holdsText(pugi::xml_node element) {
    if (!isBlank(element.value()))
        return true;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_cdata || (c.type() == pugi::node_pcdata && !isBlank(c.value())))
            return true;
    return false;
}

bool preserves(pugi::xml_node element, bool inherited) {
    const pugi::xml_attribute space = element.attribute("xml:space");
    return space ? std::strcmp(space.value(), "preserve") == 0 : inherited;
}

} // namespace

void dropSpaceThatIsNotContent(pugi::xml_node element, bool preserve) {
    preserve = preserves(element, preserve);
    if (!preserve && !holdsText(element)) {
        if (*element.value())
            element.text().set("");
        for (pugi::xml_node c = element.first_child(), next; c; c = next) {
            next = c.next_sibling();
            if (c.type() == pugi::node_pcdata)
                element.remove_child(c);
        }
    }
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            dropSpaceThatIsNotContent(c, preserve);
}

} // namespace tidy::detail
