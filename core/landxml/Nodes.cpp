// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Nodes.h"

#include "core/landxml/Error.h"

#include <cstring>

namespace tidy {

std::string_view localName(pugi::xml_node node) {
    if (node.type() != pugi::node_element)
        return {};
    const char* name = node.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(name);
}

pugi::xml_node findNode(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && localName(child) == name)
            return child;
    }
    return {};
}

std::int32_t childCount(pugi::xml_node parent) {
    // The document keeps the text that opens an element in the element itself
    // (parse_embed_pcdata); it is still the element's first child. Only such text gives an
    // element a value.
    std::int32_t n = parent.type() == pugi::node_element && *parent.value() ? 1 : 0;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        ++n;
    return n;
}

bool hasAttribute(pugi::xml_node node, const char* name) {
    return static_cast<bool>(node.attribute(name));
}

std::string_view attributeText(pugi::xml_node node, const char* name) {
    return node.attribute(name).value();
}

void setAttribute(Document& doc, pugi::xml_node node, const char* name, std::string_view value) {
    if (!doc.canHold(value))
        throw Error(doc.where(node) + ": element " + quotedText(localName(node)) +
                    ", attribute \"" + name + "\": " + quotedText(value) +
                    " holds a character that XML does not allow");
    doc.noteEdited(node);
    pugi::xml_attribute attr = node.attribute(name);
    if (!attr)
        attr = node.append_attribute(name);
    attr.set_value(std::string(value).c_str());
}

void setAttribute(Document& doc, pugi::xml_node node, const char* name, std::int32_t value) {
    setAttribute(doc, node, name, std::to_string(value));
}

std::string_view nodeText(pugi::xml_node node) {
    return node.text().get();
}

void setNodeText(Document& doc, pugi::xml_node node, std::string_view text) {
    if (!doc.canHold(text))
        throw Error(doc.where(node) + ": element " + quotedText(localName(node)) + ": " +
                    quotedText(text) + " holds a character that XML does not allow");
    doc.noteEdited(node);
    const bool embedded = node.type() == pugi::node_element && *node.value();
    node.text().set(std::string(text).c_str());
    // Emptying text kept in the element itself takes the value away; an empty text child keeps
    // the element's children and its saved form ("<a></a>") what they were.
    if (embedded && text.empty())
        node.prepend_child(pugi::node_pcdata);
}

pugi::xml_node addChild(Document& doc, pugi::xml_node parent, std::string_view name) {
    doc.noteEdited(parent);
    std::string full(name);
    std::string_view parentName = parent.name();
    if (auto colon = parentName.rfind(':'); colon != std::string_view::npos)
        full = std::string(parentName.substr(0, colon + 1)) + full;
    return parent.append_child(full.c_str());
}

} // namespace tidy
