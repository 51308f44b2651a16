// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/FileRun.h"

#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"

namespace tidy {

void requireLandXmlRoot(const Document& document) {
    const pugi::xml_node root = document.root();
    if (document.loaded() && localName(root) != "LandXML")
        throw Error(document.where(root) + ": not a LandXML file: its root element is " +
                    quotedText(root.name()));
}

FileRun runOnFile(const std::string& path,
                  const std::function<std::string(Document& document)>& operation) {
    Document document = Document::open(path);
    if (!document.loaded())
        return FileRun::NoFile;
    requireLandXmlRoot(document);
    // The document holds the whole file, so the source is already released and may be the
    // destination.
    const std::string destination = operation(document);
    if (destination.empty())
        return FileRun::NotWritten;
    document.save(destination);
    return FileRun::Written;
}

} // namespace tidy
