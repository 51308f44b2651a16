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
        <lx:Other/><!-- c --><lx:Surfaces><lx:Surface name="a"/></lx:Surfaces></lx:LandXML>)");
    pugi::xml_node surfaces = tidy::findNode(doc.root(), "Surfaces");
    ASSERT_TRUE(surfaces);
    EXPECT_EQ(tidy::localName(surfaces), "Surfaces");
    EXPECT_TRUE(tidy::findNode(surfaces, "Surface"));
    EXPECT_FALSE(tidy::findNode(doc.root(), "Surface")) << "only children are searched";
    // A comment is a child, but has no name.
    EXPECT_EQ(tidy::childCount(doc.root()), 3);
    EXPECT_EQ(tidy::localName(doc.root().first_child().next_sibling()), "");
    // A new element takes its parent's prefix, so it stays in the LandXML namespace.
    pugi::xml_node added = tidy::addChild(surfaces, "Surface");
    EXPECT_STREQ(added.name(), "lx:Surface");
    EXPECT_EQ(added, surfaces.last_child());
}

TEST(NodesTest, ProcessingInstructionHasNoLocalName) {
    TempDir dir;
    Document doc = load(dir, "<LandXML><?Surfaces x?><Surfaces/></LandXML>");
    EXPECT_EQ(tidy::findNode(doc.root(), "Surfaces"), doc.root().last_child());
}

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;
};

TEST(NodesTest, AttributeIntAcceptsDecimalIntegersOnly) {
    const IntCase cases[] = {
        {"1", true, 1},
        {"-1", true, -1},
        {"+7", true, 7},
        {"007", true, 7},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"1.0", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"0x1", false, 0},
        {"1e3", false, 0},
        {"+-1", false, 0},
        {"one", false, 0},
    };
    TempDir dir;
    for (const IntCase& c : cases) {
        std::string xml = std::string("<LandXML>\n<F i=\"") + c.text + "\"/></LandXML>";
        Document doc = load(dir, xml);
        pugi::xml_node f = tidy::findNode(doc.root(), "F");
        if (c.ok) {
            EXPECT_EQ(tidy::attributeInt(doc, f, "i"), c.value) << c.text;
            continue;
        }
        try {
            tidy::attributeInt(doc, f, "i");
            ADD_FAILURE() << "accepted \"" << c.text << "\"";
        } catch (const tidy::Error& e) {
            std::string expected = dir.file("n.xml") +
                                   ": line 2, column 1: element \"F\", attribute \"i\": \"" +
                                   c.text + "\"";
            EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
        }
    }
}

TEST(NodesTest, SetAttributeRefusesWhatTheEncodingCannotHold) {
    TempDir dir;
    Document doc =
        load(dir, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><LandXML name=\"x\"/>");
    tidy::setAttribute(doc, doc.root(), "name", "\xC3\xBF"); // U+00FF fits Latin-1
    EXPECT_EQ(tidy::attributeText(doc.root(), "name"), "\xC3\xBF");
    EXPECT_THROW(tidy::setAttribute(doc, doc.root(), "name", "\xE2\x82\xAC"),
                 tidy::Error);                                                       // euro sign
    EXPECT_THROW(tidy::setAttribute(doc, doc.root(), "name", "a\x01"), tidy::Error); // no XML char
    EXPECT_EQ(tidy::attributeText(doc.root(), "name"), "\xC3\xBF")
        << "a refused value changes nothing";
    tidy::setAttribute(doc, doc.root(), "value", -1);
    EXPECT_EQ(tidy::attributeText(doc.root(), "value"), "-1");
}

TEST(NodesTest, TextOfAnElement) {
    TempDir dir;
    Document doc = load(dir, "<LandXML><Center>1 2 3</Center><Start/></LandXML>");
    pugi::xml_node center = tidy::findNode(doc.root(), "Center");
    EXPECT_EQ(tidy::nodeText(center), "1 2 3");
    EXPECT_EQ(tidy::nodeText(tidy::findNode(doc.root(), "Start")), "");
    tidy::setNodeText(doc, center, "1000.000000 2000.000000");
    EXPECT_EQ(tidy::nodeText(center), "1000.000000 2000.000000");
    EXPECT_EQ(tidy::childCount(center), 1);
}

// The document keeps the text that opens an element in the element itself; it must still read,
// count, change and save as the text child it is.
TEST(NodesTest, TextThatOpensAnElementIsItsFirstChild) {
    TempDir dir;
    Document doc = load(dir, "<r><a>lead<b/>tail</a><c>1 2</c><d><!--x-->t</d><e><f/></e></r>");
    pugi::xml_node a = tidy::findNode(doc.root(), "a");
    pugi::xml_node c = tidy::findNode(doc.root(), "c");
    pugi::xml_node e = tidy::findNode(doc.root(), "e");
    EXPECT_EQ(tidy::childCount(a), 3);
    EXPECT_EQ(tidy::childCount(c), 1);
    EXPECT_EQ(tidy::childCount(tidy::findNode(doc.root(), "d")), 2);
    EXPECT_EQ(tidy::childCount(e), 1);
    EXPECT_EQ(tidy::nodeText(a), "lead");
    EXPECT_EQ(tidy::nodeText(tidy::findNode(doc.root(), "d")), "t");

    tidy::setNodeText(doc, a, "new");
    // Emptied, the text stays a child, as a text node would.
    tidy::setNodeText(doc, c, "");
    EXPECT_EQ(tidy::nodeText(c), "");
    EXPECT_EQ(tidy::childCount(c), 1);
    // An element with no text gets it after its children.
    tidy::setNodeText(doc, e, "late");
    EXPECT_EQ(tidy::childCount(e), 2);
    doc.save(dir.file("out.xml"));
    EXPECT_EQ(tidytest::readFile(dir.file("out.xml")),
              "<r>\n\t<a>new<b />tail</a>\n\t<c></c>\n\t<d>\n\t\t<!--x-->t</d>\n"
              "\t<e>\n\t\t<f />late</e>\n</r>\n");
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
