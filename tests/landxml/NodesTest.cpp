// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/Nodes.h"

#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

using tidy::Document;
using tidytest::TempDir;

namespace {

Document load(const TempDir& dir, std::string_view xml) {
    return Document::open(dir.write("n.xml", xml));
}

} // namespace

TEST(NodesTest, NamesMatchOnTheLocalName) {
    TempDir dir;
    Document doc = load(dir, R"(<lx:LandXML xmlns:lx="http://www.landxml.org/schema/LandXML-1.2">
        <lx:Other/><!-- c --><?Surfaces x?><lx:Surfaces><lx:Surface name="a"/></lx:Surfaces>
        </lx:LandXML>)");
    pugi::xml_node surfaces = tidy::findNode(doc.root(), "Surfaces");
    ASSERT_TRUE(surfaces);
    EXPECT_EQ(tidy::localName(surfaces), "Surfaces");
    EXPECT_TRUE(tidy::findNode(surfaces, "Surface"));
    EXPECT_FALSE(tidy::findNode(doc.root(), "Surface")) << "only children are searched";
    // A comment and a processing instruction are children, but have no name.
    EXPECT_EQ(tidy::childCount(doc.root()), 4);
    EXPECT_EQ(tidy::localName(doc.root().first_child().next_sibling()), "");
    EXPECT_EQ(tidy::localName(surfaces.previous_sibling()), "");
    // A new element takes its parent's prefix, so it stays in the LandXML namespace.
    pugi::xml_node added = tidy::addChild(surfaces, "Surface");
    EXPECT_STREQ(added.name(), "lx:Surface");
    EXPECT_EQ(added, surfaces.last_child());
}

TEST(NodesTest, AttributeIntAcceptsDecimalIntegersOnly) {
    const std::pair<const char*, std::int32_t> accepted[] = {{"1", 1},
                                                             {"-1", -1},
                                                             {"+7", 7},
                                                             {"007", 7},
                                                             {"2147483647", 2147483647},
                                                             {"-2147483648", INT32_MIN}};
    const char* const refused[] = {
        "2147483648", "99999999999999999999", "", "-", "+", "1.0", " 1", "1 ", "0x1", "1e3", "+-1",
        "one"};
    TempDir dir;
    auto attributeOf = [&](const std::string& text) {
        Document doc = load(dir, "<LandXML>\n<F i=\"" + text + "\"/></LandXML>");
        return tidy::attributeInt(doc, tidy::findNode(doc.root(), "F"), "i");
    };
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(attributeOf(text), value) << text;
    for (const char* text : refused) {
        try {
            attributeOf(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (const tidy::Error& e) {
            std::string expected = dir.file("n.xml") +
                                   ": line 2, column 1: element \"F\", attribute \"i\": \"" + text +
                                   "\"";
            EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
        }
    }
}

// A character the encoding cannot hold is stored, for the save to write as a reference; one XML
// does not allow is refused.
TEST(NodesTest, SetAttributeRefusesWhatXmlCannotHold) {
    TempDir dir;
    Document doc =
        load(dir, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><LandXML name=\"x\"/>");
    tidy::setAttribute(doc, doc.root(), "name", "\xC3\xBF"); // U+00FF fits Latin-1
    EXPECT_EQ(tidy::attributeText(doc.root(), "name"), "\xC3\xBF");
    EXPECT_THROW(tidy::setAttribute(doc, doc.root(), "name", "a\x01"), tidy::Error);
    EXPECT_THROW(tidy::setAttribute(doc, doc.root(), "name", "\xEF\xBF\xBE"), tidy::Error);
    EXPECT_THROW(tidy::setNodeText(doc, doc.root(), "\xEF\xBF\xBF"), tidy::Error);
    EXPECT_EQ(tidy::attributeText(doc.root(), "name"), "\xC3\xBF")
        << "a refused value changes nothing";
    tidy::setAttribute(doc, doc.root(), "name", "\xE2\x82\xAC"); // euro sign
    doc.save(dir.file("out.xml"));
    EXPECT_NE(tidytest::readFile(dir.file("out.xml")).find("name=\"&#8364;\""), std::string::npos);
    tidy::setAttribute(doc, doc.root(), "value", -1);
    EXPECT_EQ(tidy::attributeText(doc.root(), "value"), "-1");
}

// The document keeps the text that opens an element in the element itself; it must still read,
// count, change and save as the text child it is.
TEST(NodesTest, TextThatOpensAnElementIsItsFirstChild) {
    TempDir dir;
    Document doc = load(dir, "<r><a>lead<b/>tail</a><c>1 2</c><d><!--x-->t</d><e><f/></e><g/></r>");
    pugi::xml_node a = tidy::findNode(doc.root(), "a");
    pugi::xml_node c = tidy::findNode(doc.root(), "c");
    pugi::xml_node e = tidy::findNode(doc.root(), "e");
    EXPECT_EQ(tidy::childCount(a), 3);
    EXPECT_EQ(tidy::childCount(c), 1);
    EXPECT_EQ(tidy::childCount(tidy::findNode(doc.root(), "d")), 2);
    EXPECT_EQ(tidy::childCount(e), 1);
    EXPECT_EQ(tidy::nodeText(a), "lead");
    EXPECT_EQ(tidy::nodeText(c), "1 2");
    EXPECT_EQ(tidy::nodeText(e), "");
    EXPECT_EQ(tidy::nodeText(tidy::findNode(doc.root(), "g")), "");
    EXPECT_EQ(tidy::nodeText(tidy::findNode(doc.root(), "d")), "t");

    tidy::setNodeText(doc, a, "new");
    EXPECT_EQ(tidy::nodeText(a), "new");
    // Emptied, the text stays a child, as a text node would.
    tidy::setNodeText(doc, c, "");
    EXPECT_EQ(tidy::nodeText(c), "");
    EXPECT_EQ(tidy::childCount(c), 1);
    // An element with no text gets it after its children.
    tidy::setNodeText(doc, e, "late");
    EXPECT_EQ(tidy::childCount(e), 2);
    doc.save(dir.file("out.xml"));
    EXPECT_EQ(tidytest::readFile(dir.file("out.xml")),
              "<r>\n\t<a>new<b />tail</a>\n\t<c></c>\n\t<d><!--x-->t</d>\n"
              "\t<e><f />late</e>\n\t<g />\n</r>\n");
}

TEST(NodesTest, ListLinesAreCutAt255Utf16Units) {
    std::string exact(255, 'a');
    EXPECT_EQ(tidy::cutListLine(exact), exact);
    EXPECT_EQ(tidy::cutListLine(exact + "b"), exact);
    // A two-unit character that does not fit whole is left out, never split.
    std::string nearly(254, 'a');
    EXPECT_EQ(tidy::cutListLine(nearly + "\xF0\x9F\x98\x80"), nearly);
    EXPECT_EQ(tidy::cutListLine(nearly + "\xC3\xA4" + "b"), nearly + "\xC3\xA4");
}
