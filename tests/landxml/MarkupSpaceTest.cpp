// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/MarkupSpace.h"

#include "TestSupport.h"
#include "XmlDump.h"
#include "core/landxml/Document.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>

namespace {

std::string dropped(std::string text) {
    text.resize(tidy::dropSpaceBetweenMarkup(text.data(), text.size()));
    return text;
}

// Cases in tests/data/markup-space.csv.
TEST(DropSpaceTest, DropsOnlyWhatTheParserSkips) {
    for (const auto& row : tidytest::dataTable("markup-space.csv"))
        EXPECT_EQ(dropped(row.at(1)), row.at(2)) << row.at(0);
}

// What the parser reads from `text`.
std::string content(const std::string& text) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result =
        doc.load_buffer(text.data(), text.size(),
                        pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype |
                            pugi::parse_pi | pugi::parse_comments | pugi::parse_embed_pcdata,
                        pugi::encoding_utf8);
    if (!result)
        return std::string("error: ") + result.description();
    return tidytest::dump(doc);
}

// A save of the file loads back to the same nodes in the same encoding.
void expectSavedCopyReadsTheSame(const std::string& path) {
    tidytest::TempDir dir;
    const tidy::Document doc = tidy::Document::open(path);
    ASSERT_TRUE(doc.loaded()) << path;
    doc.save(dir.file("copy.xml"));
    const tidy::Document copy = tidy::Document::open(dir.file("copy.xml"));
    EXPECT_EQ(copy.encoding(), doc.encoding()) << path;
    EXPECT_EQ(tidytest::dump(copy.xml()), tidytest::dump(doc.xml())) << path;
}

// Real exports: the parser reads the same nodes from the file and from what the whitespace pass
// leaves of it, every byte left maps back to the same byte of the file, in order, and a saved
// copy reads the same.
TEST(RealExportsTest, ReadTheSameAfterTheWhitespacePassAndASave) {
    int files = 0;
    for (const char* name :
         {"lutraconsulting-qgis-landxml-mesh-plugin__Example_Clean.xml",
          "buildingSMART-Finland-InfraModel__M3_Terrain.mm.xml",
          "nathancrews-LandXML2glTF__Partridge_Survey.xml", "joelgraff-freecad.trails__Survey.xml",
          "nathancrews-LandXML2glTF__polyline.xml"}) {
        const std::string path = tidytest::realDataPath(name);
        if (!std::filesystem::exists(path))
            continue;
        ++files;
        expectSavedCopyReadsTheSame(path);
        const std::string original = tidytest::readFile(path);
        const std::string text = dropped(original);
        EXPECT_LT(text.size(), original.size()) << name;
        EXPECT_EQ(content(text), content(original)) << name;
        size_t last = 0;
        for (size_t k = 0; k < text.size(); ++k) {
            const size_t at = tidy::offsetBeforeDroppingSpace(original.data(), original.size(), k);
            ASSERT_TRUE(at < original.size() && original[at] == text[k] && (k == 0 || at > last))
                << name << ": byte " << k << " maps to " << at;
            last = at;
            if (k > 1000) // the map walks from the start each time; the head shows the pattern
                k += text.size() / 100;
        }
        EXPECT_EQ(tidy::offsetBeforeDroppingSpace(original.data(), original.size(), text.size()),
                  original.size());
    }
    if (files == 0)
        GTEST_SKIP() << "the real exports are not available";
}

} // namespace
