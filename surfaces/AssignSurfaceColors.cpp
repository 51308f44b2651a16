// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/AssignSurfaceColors.h"

#include "landxml/Document.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <array>
#include <charconv>
#include <string_view>

namespace tidy {
namespace {

constexpr int kMaxVisits = 100;

// The code this program writes into a colour feature it creates, and the other code whose
// colour records it updates alike.
constexpr std::string_view kOwnCode = "Quillmarch";
constexpr std::string_view kForeignCode = "Orvane attributes";
constexpr const char* kColorLabel = "M_Color";

// The stored index of an M_Color property; a property without "value" counts as index 0.
std::int32_t storedIndex(const Document& doc, pugi::xml_node property, const std::string& name) {
    if (!hasAttribute(property, "value"))
        return 0;
    try {
        return attributeInt(doc, property, "value");
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + " (surface " + quotedText(name) + ")");
    }
}

// Asks for every M_Color property of a feature with a recognised code and returns the last
// choice. Children are taken by position from a count read once, so a property added here is
// never visited. A feature with properties but no M_Color gets one with index 0, unasked.
std::int32_t updateColorFeature(Document& doc, pugi::xml_node feature, const std::string& name,
                                const PickColor& pickColor) {
    std::int32_t color = 0;
    if (!findNode(feature, "Property"))
        return color;
    bool found = false;
    const std::int32_t count = childCount(feature);
    pugi::xml_node child = feature.first_child();
    for (std::int32_t i = 0; i < count && child; ++i, child = child.next_sibling()) {
        if (attributeText(child, "label") != kColorLabel)
            continue;
        found = true;
        color = pickColor(name, storedIndex(doc, child, name));
        setAttribute(doc, child, "value", color);
    }
    if (!found) {
        const pugi::xml_node property = addChild(feature, "Property");
        setAttribute(doc, property, "label", kColorLabel);
        setAttribute(doc, property, "value", std::int32_t{0});
    }
    return color;
}

} // namespace

ColorRun AssignSurfaceColors(const std::string& path, const std::string& destination,
                             const PickColor& pickColor, const ListColored& listSurface) {
    ColorRun run;
    std::vector<SurfaceColor>& visited = run.surfaces;
    Document doc = Document::open(path);
    if (!doc.loaded())
        return run;
    const pugi::xml_node root = doc.root();
    const pugi::xml_node surfaces = root ? findNode(root, "Surfaces") : pugi::xml_node();
    if (!surfaces)
        return run;

    pugi::xml_node node = findNode(surfaces, "Surface");
    for (int visit = 0; node && visit < kMaxVisits; ++visit, node = node.next_sibling()) {
        // A comment or other non-element among the surfaces has no colour record; it only
        // uses up a visit.
        if (node.type() != pugi::node_element)
            continue;
        std::string name(attributeText(node, "name"));
        std::int32_t color = 0;
        if (const pugi::xml_node feature = findNode(node, "Feature"); !feature) {
            const pugi::xml_node created = addChild(node, "Feature");
            setAttribute(doc, created, "code", kOwnCode);
            const pugi::xml_node property = addChild(created, "Property");
            setAttribute(doc, property, "label", kColorLabel);
            color = pickColor(name, 0);
            setAttribute(doc, property, "value", color);
        } else {
            // Only the first Feature counts, and only with a code that matches exactly.
            const std::string_view code = attributeText(feature, "code");
            if (code == kOwnCode || code == kForeignCode)
                color = updateColorFeature(doc, feature, name, pickColor);
        }
        listSurface(name, color);
        visited.push_back({std::move(name), color});
    }
    doc.save(destination);
    run.saved = true;
    return run;
}

} // namespace tidy
