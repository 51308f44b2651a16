// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurfaceXml.h"

#include "landxml/Document.h"
#include "landxml/Nodes.h"

#include <pugixml.hpp>

#include <sstream>
#include <stdexcept>

namespace surfacetest {
namespace {

std::string rawText(const pugi::xml_document& doc) {
    // The declaration is left out: it names the file's encoding, which is not content.
    std::ostringstream out;
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() != pugi::node_declaration)
            n.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    }
    return out.str();
}

} // namespace

std::string landXml(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" version=\"1.2\">\n" +
           std::string(body) + "\n</LandXML>\n";
}

std::string numberedSurfaces(int count, std::string_view prefix) {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += "<Surface name=\"" + std::string(prefix) + std::to_string(i) + "\"/>";
    return out;
}

std::string canonical(const std::string& xml) {
    pugi::xml_document doc;
    if (!doc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_comments))
        throw std::runtime_error("test document is not well-formed: " + xml);
    return rawText(doc);
}

std::string canonicalFile(const std::string& path) {
    tidy::Document doc = tidy::Document::open(path);
    if (!doc.loaded())
        throw std::runtime_error("no file at " + path);
    return rawText(doc.xml());
}

std::vector<std::string> surfaceNames(const std::string& path) {
    const tidy::Document doc = tidy::Document::open(path);
    std::vector<std::string> names;
    const pugi::xml_node surfaces = tidy::findNode(doc.root(), "Surfaces");
    for (pugi::xml_node n = surfaces.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_element)
            names.emplace_back(tidy::attributeText(n, "name"));
    }
    return names;
}

} // namespace surfacetest
