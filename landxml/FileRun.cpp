// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/FileRun.h"

namespace tidy {

FileRun runOnFile(const std::string& path,
                  const std::function<std::string(Document& document)>& operation) {
    Document document = Document::open(path);
    if (!document.loaded())
        return FileRun::NoFile;
    // The document holds the whole file, so the source is already released and may be the
    // destination.
    const std::string destination = operation(document);
    if (destination.empty())
        return FileRun::NotWritten;
    document.save(destination);
    return FileRun::Written;
}

} // namespace tidy
