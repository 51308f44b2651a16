// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pugixml.hpp>

#include <string>

namespace tidytest {

// Every node under `n` with its kind, name, value and attributes: what a load must read and a
// save must keep.
inline std::string dump(pugi::xml_node n) {
    std::string out;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        out += std::to_string(int(c.type())) + "<" + c.name() + ">" + c.value();
        for (pugi::xml_attribute a : c.attributes())
            out += std::string(" ") + a.name() + "=" + a.value();
        out += "{" + dump(c) + "}";
    }
    return out;
}

} // namespace tidytest
