// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/SurfaceWalk.h"

#include "core/landxml/Nodes.h"

namespace tidy {

std::vector<pugi::xml_node> surfaceWalk(pugi::xml_node surfaces, int steps) {
    std::vector<pugi::xml_node> visited;
    pugi::xml_node node = findNode(surfaces, "Surface");
    for (int step = 0; step < steps && node; ++step, node = node.next_sibling())
        if (node.type() == pugi::node_element)
            visited.push_back(node);
    return visited;
}

} // namespace tidy
