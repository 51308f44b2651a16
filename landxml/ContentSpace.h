// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whitespace between markup is content in an element that holds text beside other children, and
// under xml:space="preserve"; everywhere else it is indentation, which the save writes its own.

#include <pugixml.hpp>

#include <vector>

namespace tidy::detail {

// Drops the whitespace-only text the parser kept where it is not content. The depth is bounded
// by the load.
void dropSpaceThatIsNotContent(pugi::xml_node element, bool preserve);

// Empty text nodes lent to the elements whose children the save must not indent, for as long as
// it lives: pugixml adds no whitespace next to text, and writes nothing for an empty one.
class SpaceKeepers {
public:
    explicit SpaceKeepers(pugi::xml_node root) { lend(root, false); }
    ~SpaceKeepers();
    SpaceKeepers(const SpaceKeepers&) = delete;
    SpaceKeepers& operator=(const SpaceKeepers&) = delete;

private:
    void lend(pugi::xml_node element, bool preserve);
    std::vector<pugi::xml_node> lent_;
};

} // namespace tidy::detail
