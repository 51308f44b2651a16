// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/RenameSurfaces.h"

#include "landxml/Document.h"
#include "landxml/Nodes.h"

namespace tidy {
namespace {
constexpr int kMaxVisits = 100;
}

std::vector<std::string> RenameSurfaces(const std::string& path, const std::string& destination,
                                        const AskName& askName, const ListRenamed& listSurface) {
    std::vector<std::string> finalNames;
    Document doc = Document::open(path);
    if (!doc.loaded())
        return finalNames;
    const pugi::xml_node root = doc.root();
    if (!root)
        return finalNames;

    if (const pugi::xml_node surfaces = findNode(root, "Surfaces")) {
        // The walk goes over siblings, so whatever follows the first Surface is visited too;
        // a node that is not an element has no name to offer but still counts as a visit.
        pugi::xml_node node = findNode(surfaces, "Surface");
        for (int visit = 0; node && visit < kMaxVisits; ++visit, node = node.next_sibling()) {
            if (node.type() != pugi::node_element)
                continue;
            std::string name(attributeText(node, "name"));
            if (NameAnswer answer = askName(name); answer.ok)
                name = std::move(answer.text);
            // Stored before it is listed: a name XML cannot hold ends the run here and must not
            // appear in the list as if it had been accepted.
            setAttribute(doc, node, "name", name);
            listSurface(name);
            finalNames.push_back(std::move(name));
        }
    }
    // Written even when nothing was visited, as the window always has.
    doc.save(destination);
    return finalNames;
}

} // namespace tidy
