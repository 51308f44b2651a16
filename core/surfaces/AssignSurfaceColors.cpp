// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/surfaces/AssignSurfaceColors.h"

#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"
#include "core/tin/Numbers.h"
#include "core/tin/SurfaceWalk.h"

#include <array>
#include <charconv>
#include <string_view>

namespace tidy {
namespace {

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
                                const ColorObserver& observer) {
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
        color = observer.pickColor(name, storedIndex(doc, child, name));
        setAttribute(doc, child, "value", color);
    }
    if (!found) {
        const pugi::xml_node property = addChild(doc, feature, "Property");
        setAttribute(doc, property, "label", kColorLabel);
        setAttribute(doc, property, "value", std::int32_t{0});
    }
    return color;
}

// The index a surface's list line shows; its colour record is created or updated on the way.
std::int32_t colorSurface(Document& doc, pugi::xml_node surface, const std::string& name,
                          const ColorObserver& observer) {
    const pugi::xml_node feature = findNode(surface, "Feature");
    if (!feature) {
        const pugi::xml_node created = addChild(doc, surface, "Feature");
        setAttribute(doc, created, "code", kOwnCode);
        const pugi::xml_node property = addChild(doc, created, "Property");
        setAttribute(doc, property, "label", kColorLabel);
        const std::int32_t color = observer.pickColor(name, 0);
        setAttribute(doc, property, "value", color);
        return color;
    }
    // Only the first Feature counts, and only with a code that matches exactly.
    const std::string_view code = attributeText(feature, "code");
    if (code == kOwnCode || code == kForeignCode)
        return updateColorFeature(doc, feature, name, observer);
    return 0;
}

} // namespace

ColorRun AssignSurfaceColors(Document& document, const ColorObserver& observer) {
    ColorRun run;
    const pugi::xml_node surfaces = surfacesOf(document);
    if (!surfaces)
        return run;
    run.write = true;
    for (const pugi::xml_node surface : surfaceWalk(surfaces, kEditedSurfaceSteps)) {
        std::string name(attributeText(surface, "name"));
        const std::int32_t color = colorSurface(document, surface, name, observer);
        observer.listSurface(name, color);
        run.surfaces.push_back({std::move(name), color});
    }
    return run;
}

} // namespace tidy
