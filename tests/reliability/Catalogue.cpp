// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace tidytest {

const char* operationName(Operation op) {
    switch (op) {
    case Scan:
        return "scan";
    case Triangles:
        return "triangles";
    case Curves:
        return "curves";
    case Rename:
        return "rename";
    case Color:
        return "color";
    }
    return "?";
}

namespace {

unsigned operationsNamed(const std::string& words) {
    if (words == "all")
        return kEveryOperation;
    unsigned ops = 0;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        const auto* op = std::find_if(std::begin(kOperations), std::end(kOperations),
                                      [&](Operation o) { return word == operationName(o); });
        if (word != "none" && op == std::end(kOperations))
            throw std::runtime_error("unknown operation \"" + word + "\"");
        ops |= word == "none" ? 0 : unsigned(*op);
    }
    return ops;
}

BadFile readSidecar(const std::string& name) {
    std::istringstream in(readFile(catalogueFolder() + "/" + name + ".expect"));
    BadFile entry{name, 0, "", ""};
    bool refusedGiven = false;
    for (std::string line; std::getline(in, line);) {
        const auto colon = line.find(": ");
        const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
        if (colon == std::string::npos)
            throw std::runtime_error(name + ".expect: \"" + line + "\" is not \"key: value\"");
        if (key == "refused")
            entry.refusing = operationsNamed(value);
        else if (key == "place")
            entry.place = value;
        else if (key == "says")
            entry.says = value;
        else
            throw std::runtime_error(name + ".expect: unknown key \"" + key + "\"");
        refusedGiven |= key == "refused";
    }
    if (!refusedGiven || (entry.refusing && entry.says.empty()))
        throw std::runtime_error(name + ".expect: needs \"refused\" and, when refused, \"says\"");
    return entry;
}

std::vector<BadFile> readCatalogue() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(catalogueFolder()))
        if (e.path().extension() != ".expect")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return (a != "good.xml") < (b != "good.xml") ||
               ((a == "good.xml") == (b == "good.xml") && a < b);
    });
    std::vector<BadFile> entries;
    for (const std::string& name : names)
        entries.push_back(readSidecar(name));
    entries.push_back({"deep_nesting.xml", kEveryOperation, "line 2, column 775",
                       "nested more than 256 levels deep"});
    return entries;
}

} // namespace

const std::vector<BadFile>& catalogue() {
    static const std::vector<BadFile> entries = readCatalogue();
    return entries;
}

const BadFile& firstRefusedBy(Operation op) {
    for (const BadFile& entry : catalogue())
        if (entry.refusing & op)
            return entry;
    throw std::runtime_error(std::string("no entry is refused by ") + operationName(op));
}

std::string catalogueFolder() {
    return TIDY_BADINPUT;
}

std::string catalogueBytes(const BadFile& entry) {
    if (entry.name == "deep_nesting.xml") {
        constexpr int depth = 100000;
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML>";
        text.reserve(text.size() + 7 * depth + 16);
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        return text + "</LandXML>\n";
    }
    return readFile(catalogueFolder() + "/" + entry.name);
}

} // namespace tidytest
