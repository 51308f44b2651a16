// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/MarkupSpace.h"

#include "TestSupport.h"
#include "XmlDump.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>

namespace {

std::string dropped(std::string text) {
    text.resize(tidy::dropSpaceBetweenMarkup(text.data(), text.size()));
    return text;
}

struct Case {
    const char* label;
    const char* text;
    const char* expected;
};

class DropSpaceTest : public ::testing::TestWithParam<Case> {};

// Everything the parser reads as a node of its own is where it stands: only the whitespace it
// skips between markup may go.
TEST_P(DropSpaceTest, DropsOnlyWhatTheParserSkips) {
    EXPECT_EQ(dropped(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DropSpaceTest,
    ::testing::Values(
        Case{"indentation", "<a>\r\n\t<b x=\"1\"/>\n\t<c>t</c>\n</a>\n",
             "<a><b x=\"1\"/><c>t</c></a>\n"},
        // Text beside an element makes the whitespace content: none is dropped.
        Case{"text_beside_an_element", "<a>\n<c>t</c> <d/> t <b/> \n</a>",
             "<a><c>t</c><d/> t <b/> \n</a>"},
        Case{"xml_space", "<a>\n<b xml:space='x'/> <c/>\n</a>", "<a><b xml:space='x'/> <c/>\n</a>"},
        Case{"markup_inside_quotes", "<r><a x='\"> <' y=\"'> <\"/>\n</r>",
             "<r><a x='\"> <' y=\"'> <\"/></r>"},
        Case{"comment_cdata_and_instruction",
             "<r> <!-- a> <b --> <![CDATA[ x> <y ]]> <?pi c> <d?> <e/></r>",
             "<r><!-- a> <b --><![CDATA[ x> <y ]]> <?pi c> <d?> <e/></r>"},
        Case{"declaration", "<?xml version=\"1.0\" encoding='UTF-8'?>\n<r>\n<a/></r>",
             "<?xml version=\"1.0\" encoding='UTF-8'?><r><a/></r>"},
        // The parser reads the declaration's quotes and other instructions' not.
        Case{"end_of_declaration_in_quotes", "<?xml version=\"1.0?> <x\"?>\n<r>\n<a/></r>",
             "<?xml version=\"1.0?> <x\"?><r><a/></r>"},
        Case{"instruction_named_like_xml", "<?xml-model href=\"a?> <b\"?>\n<r>\n<a/></r>",
             "<?xml-model href=\"a?><b\"?>\n<r>\n<a/></r>"},
        Case{"instruction_named_xml_and_a_letter", "<?xmlx href=\"a?> <b\"?>\n<r>\n<a/></r>",
             "<?xmlx href=\"a?><b\"?>\n<r>\n<a/></r>"},
        Case{"doctype", "<!DOCTYPE r [ <!ELEMENT r ANY> '>]' ] >\n<r>\n<a/></r>",
             "<!DOCTYPE r [ <!ELEMENT r ANY> '>]' ] ><r><a/></r>"},
        Case{"cut_short", "<r>\n<a/>\n<b x=\"1>\n</r>", "<r><a/><b x=\"1>\n</r>"}),
    [](const auto& param) { return std::string(param.param.label); });

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

// Real exports: the parser reads the same nodes from both texts, and every byte left maps back
// to the same byte of the file, in order.
TEST(DroppedSpaceMapTest, RealExportsReadTheSameAndMapBack) {
    int files = 0;
    for (const char* name : {"lutraconsulting-qgis-landxml-mesh-plugin__Example_Clean.xml",
                             "buildingSMART-Finland-InfraModel__M3_Terrain.mm.xml",
                             "nathancrews-LandXML2glTF__Partridge_Survey.xml",
                             "joelgraff-freecad.trails__Survey.xml"}) {
        const std::string path = tidytest::realDataPath(name);
        if (!std::filesystem::exists(path))
            continue;
        ++files;
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
