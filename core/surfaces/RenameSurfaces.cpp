// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/RenameSurfaces.h"

#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"
#include "core/tin/SurfaceWalk.h"

namespace tidy {

namespace {

// Why `name`, confirmed for `surface`, cannot be stored, or "" when it can. Keeping the name the
// surface already has is never refused.
std::string refusal(pugi::xml_node surfaces, pugi::xml_node surface, const std::string& name) {
    const std::string_view current = attributeText(surface, "name");
    if (name == current)
        return {};
    if (name.find_first_not_of(" \t\r\n") == std::string::npos)
        return "the new name of surface " + quotedText(current) +
               " is empty or blank: every surface needs a name";
    int position = 0;
    for (const pugi::xml_node other : surfaces.children()) {
        if (localName(other) != "Surface")
            continue;
        ++position;
        if (other != surface && attributeText(other, "name") == name)
            return "the new name " + quotedText(name) + " of surface " + quotedText(current) +
                   " is already the name of surface " + std::to_string(position) + " of the file";
    }
    return {};
}

} // namespace

RenameRun RenameSurfaces(Document& document, const RenameObserver& observer) {
    RenameRun run;
    const pugi::xml_node root = document.root();
    if (!root)
        return run;
    // Written even when nothing was visited, as the window always has.
    run.write = true;
    const pugi::xml_node surfaces = surfacesOf(document);
    for (const pugi::xml_node node : surfaceWalk(surfaces, kEditedSurfaceSteps)) {
        std::string name(attributeText(node, "name"));
        for (std::string offered = name;;) {
            NameAnswer answer = observer.askName(offered);
            if (!answer.ok)
                break;
            const std::string why = refusal(surfaces, node, answer.text);
            if (why.empty()) {
                name = std::move(answer.text);
                break;
            }
            if (!observer.refuseName)
                throw Error(document.where(node) + ": " + why);
            observer.refuseName(why);
            offered = std::move(answer.text);
        }
        // Stored before it is listed: a name XML cannot hold ends the run here and must not
        // appear in the list as if it had been accepted.
        setAttribute(document, node, "name", name);
        observer.listSurface(name);
        run.names.push_back(std::move(name));
    }
    return run;
}

} // namespace tidy
