// SPDX-License-Identifier: GPL-3.0-or-later
// Small LandXML documents for the surface editing tests, and comparison by content.
#pragma once

#include "landxml/Document.h"

#include <pugixml.hpp>

#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace surfacetest {

// A LandXML document (UTF-8, default namespace) whose root holds `body`. Saving it always
// changes its bytes (the writer indents), so a byte comparison shows whether it was rewritten.
inline std::string landXml(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">\n" +
           std::string(body) + "\n</LandXML>\n";
}

inline std::string surfacesFile(std::string_view surfaces) {
    return landXml("<Surfaces>" + std::string(surfaces) + "</Surfaces>");
}

// Empty Surface elements named prefix<first> to prefix<last>.
inline std::string numberedSurfaces(int first, int last, std::string_view prefix = "S") {
    std::string out;
    for (int i = first; i <= last; ++i)
        out += "<Surface name=\"" + std::string(prefix) + std::to_string(i) + "\"/>";
    return out;
}

// The document's content in one fixed form: no declaration (it names the encoding, which is not
// content), no indentation, comments kept.
inline std::string canonical(const pugi::xml_document& doc) {
    std::ostringstream out;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() != pugi::node_declaration)
            n.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

inline std::string canonical(const std::string& xml) {
    pugi::xml_document doc;
    if (!doc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_comments))
        throw std::runtime_error("test document is not well-formed: " + xml);
    return canonical(doc);
}

// The content of a file, read in whatever encoding it declares.
inline std::string canonicalFile(const std::string& path) {
    const tidy::Document doc = tidy::Document::open(path);
    if (!doc.loaded())
        throw std::runtime_error("no file at " + path);
    return canonical(doc.xml());
}

} // namespace surfacetest
