// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Node access shared by every operation. Element names match on the local name, so a default
// namespace or a prefix on the file does not prevent a match.

#include "core/landxml/Document.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tidy {

// Element name without its prefix; "" for a node that is not an element.
std::string_view localName(pugi::xml_node node);

// First child element whose local name is `name`, or an empty node.
pugi::xml_node findNode(pugi::xml_node parent, std::string_view name);

// Number of all child nodes: elements, comments, processing instructions and text.
std::int32_t childCount(pugi::xml_node parent);

bool hasAttribute(pugi::xml_node node, const char* name);

// The attribute's text, or "" when it is absent.
std::string_view attributeText(pugi::xml_node node, const char* name);

// Creates or replaces an attribute. Throws Error, before anything changes, when `value` holds a
// character XML does not allow; one the file's encoding cannot hold is saved as a reference.
void setAttribute(Document& doc, pugi::xml_node node, const char* name, std::string_view value);
void setAttribute(Document& doc, pugi::xml_node node, const char* name, std::int32_t value);

// The element's text content ("" when it has none) and its replacement, checked as above.
std::string_view nodeText(pugi::xml_node node);
void setNodeText(Document& doc, pugi::xml_node node, std::string_view text);

// Appends a new empty element as the last child; it takes the parent's namespace prefix.
pugi::xml_node addChild(Document& doc, pugi::xml_node parent, std::string_view name);

} // namespace tidy
