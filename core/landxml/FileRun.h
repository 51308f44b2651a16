// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <functional>
#include <string>

namespace tidy {

// How a run of an operation on a file ended.
enum class FileRun {
    NoFile,     // nothing at the path: nothing was run
    NotWritten, // the operation ran and asked for no save
    Written,    // the document was saved to the destination the operation gave
};

// Throws Error, naming the file, the root's place and its name, when a loaded document's root
// element is not LandXML: an XHTML page or any other XML is no file for these operations. The
// root counts by its local name, as every element the tool looks for does, so a prefix
// ("lx:LandXML") and any namespace are accepted.
void requireLandXmlRoot(const Document& document);

// The one cycle of every operation on a file: loads the file at `path` into a fresh document,
// refuses it unless it is LandXML (requireLandXmlRoot), runs `operation` on it and saves the
// document to the destination that `operation` returns
// ("" saves nothing). A missing file is reported, not thrown: whether it is an error is the
// caller's choice. Errors of the load, the operation and the save propagate, and nothing has
// been written then.
FileRun runOnFile(const std::string& path,
                  const std::function<std::string(Document& document)>& operation);

} // namespace tidy
