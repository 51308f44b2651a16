// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/tin/SurfaceWalk.h"

#include "core/landxml/Nodes.h"

namespace tidy {

pugi::xml_node surfacesOf(const Document& document) {
    return findNode(document.root(), "Surfaces");
}

std::vector<pugi::xml_node> surfaceSteps(pugi::xml_node surfaces, int steps) {
    std::vector<pugi::xml_node> visited;
    pugi::xml_node node = findNode(surfaces, "Surface");
    for (int step = 0; step < steps && node; ++step, node = node.next_sibling())
        visited.push_back(node);
    return visited;
}

std::vector<pugi::xml_node> surfaceWalk(pugi::xml_node surfaces, int steps) {
    std::vector<pugi::xml_node> visited = surfaceSteps(surfaces, steps);
    std::erase_if(visited, [](pugi::xml_node node) { return node.type() != pugi::node_element; });
    return visited;
}

pugi::xml_node facesOf(pugi::xml_node surface) {
    return findNode(findNode(surface, "Definition"), "Faces");
}

pugi::xml_node pointsOf(pugi::xml_node surface) {
    return findNode(findNode(surface, "Definition"), "Pnts");
}

} // namespace tidy
