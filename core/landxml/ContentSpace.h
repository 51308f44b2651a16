// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whitespace between markup is content in an element that holds text beside other children, and
// under xml:space="preserve"; everywhere else it is indentation, which is no node.

#include <pugixml.hpp>

namespace tidy::detail {

// Drops the whitespace-only text the parser kept where it is not content. The depth is bounded
// by the load.
void dropSpaceThatIsNotContent(pugi::xml_node element, bool preserve);

} // namespace tidy::detail
