// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/RenameSurfaces.h"

#include "landxml/Nodes.h"
#include "landxml/SurfaceWalk.h"

namespace tidy {

RenameRun RenameSurfaces(Document& document, const RenameObserver& observer) {
    RenameRun run;
    const pugi::xml_node root = document.root();
    if (!root)
        return run;
    // Written even when nothing was visited, as the window always has.
    run.write = true;
    for (const pugi::xml_node node : surfaceWalk(findNode(root, "Surfaces"), kEditedSurfaceSteps)) {
        std::string name(attributeText(node, "name"));
        if (NameAnswer answer = observer.askName(name); answer.ok)
            name = std::move(answer.text);
        // Stored before it is listed: a name XML cannot hold ends the run here and must not
        // appear in the list as if it had been accepted.
        setAttribute(document, node, "name", name);
        observer.listSurface(name);
        run.names.push_back(std::move(name));
    }
    return run;
}

} // namespace tidy
