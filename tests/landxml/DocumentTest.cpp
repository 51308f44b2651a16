// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/Document.h"

#include "TestSupport.h"
#include "XmlDump.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <filesystem>

using tidy::Document;
using tidytest::dump;
using tidytest::readFile;
using tidytest::TempDir;

namespace {

const char* kSmall = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- exported for a test -->
<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2" version="1.2">
  <?app-hint keep me?>
  <Surfaces>
    <Surface name="EG">
      <Definition surfType="TIN"><Faces><F i="1">1 2 3</F><F>2 3 4</F></Faces></Definition>
    </Surface>
    <!-- between surfaces -->
    <Surface name="FG &amp; more"/>
  </Surfaces>
  <Note><![CDATA[a < b & c]]></Note><!-- R&D -->
  <Text>&#169; &#xE9; &lt;&gt;&amp;&apos;&quot;</Text>
</LandXML>
)";

} // namespace

TEST(DocumentTest, NoFileGivesAnEmptyDocumentAndNoError) {
    TempDir dir;
    Document missing = Document::open(dir.file("absent.xml"));
    EXPECT_FALSE(missing.loaded());
    EXPECT_FALSE(missing.root());
    // A folder is not a file either.
    Document folder = Document::open(dir.path().string());
    EXPECT_FALSE(folder.loaded());
    // Nothing loaded is never saved: no file appears.
    EXPECT_THROW(missing.save(dir.file("out.xml")), tidy::Error);
    EXPECT_EQ(dir.listing(), "");
}

TEST(DocumentTest, RoundTripKeepsEveryNode) {
    TempDir dir;
    std::string path = dir.write("a.xml", kSmall);
    Document doc = Document::open(path);
    ASSERT_TRUE(doc.loaded());
    doc.save(dir.file("b.xml"));
    Document again = Document::open(dir.file("b.xml"));
    EXPECT_EQ(dump(doc.xml()), dump(again.xml()));
    // Declaration, comments, the processing instruction and CDATA are still there.
    std::string text = readFile(dir.file("b.xml"));
    EXPECT_NE(text.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string::npos);
    EXPECT_NE(text.find("<!-- between surfaces -->"), std::string::npos);
    EXPECT_NE(text.find("<?app-hint keep me?>"), std::string::npos);
    EXPECT_NE(text.find("<![CDATA[a < b & c]]>"), std::string::npos);
    EXPECT_NE(text.find("name=\"FG &amp; more\""), std::string::npos);
    // Indented with tabs, one element per line.
    EXPECT_NE(text.find("\n\t<Surfaces>\n\t\t<Surface name=\"EG\">\n"), std::string::npos);
    // Whitespace between elements is no node, a comment is: two surfaces and the comment.
    pugi::xml_node surfaces = tidy::findNode(doc.root(), "Surfaces");
    EXPECT_EQ(tidy::childCount(surfaces), 3);
    EXPECT_EQ(tidy::findNode(surfaces, "Surface").next_sibling().type(), pugi::node_comment);
}

TEST(DocumentTest, RealExportsRoundTripUnchangedInContent) {
    for (const char* name : {"lutraconsulting-qgis-landxml-mesh-plugin__Example_Clean.xml",
                             "buildingSMART-Finland-InfraModel__M3_Terrain.mm.xml",
                             "nathancrews-LandXML2glTF__polyline.xml"}) {
        std::string path = tidytest::realDataPath(name);
        if (!std::filesystem::exists(path))
            GTEST_SKIP() << path << " is not available";
        TempDir dir;
        Document doc = Document::open(path);
        ASSERT_TRUE(doc.loaded()) << name;
        doc.save(dir.file("copy.xml"));
        Document copy = Document::open(dir.file("copy.xml"));
        EXPECT_EQ(copy.encoding(), doc.encoding()) << name;
        EXPECT_EQ(dump(copy.xml()), dump(doc.xml())) << name;
    }
}

// Refusals of bad input are files of tests/reliability/badinput, each with its expected message.

TEST(DocumentTest, ReferencesToAllowedCharactersLoadAndRoundTrip) {
    TempDir dir;
    // A reference to a character XML does not allow is only text where no reference is read.
    std::string path = dir.write("a.xml", "<a t=\"&#9;&#xA;&#13;\"><!-- &#0; --><![CDATA[&#0;]]>"
                                          "&#x20;&#xD7FF;&#xE000;&#xFFFD;&#x10000;&#x10FFFF;</a>");
    Document doc = Document::open(path);
    doc.save(dir.file("b.xml"));
    EXPECT_EQ(dump(Document::open(dir.file("b.xml")).xml()), dump(doc.xml()));
    EXPECT_EQ(tidy::attributeText(doc.root(), "t"), "\t\n\r");
}

// The scan for control characters takes the text in blocks: the first one is found wherever it
// stands, in a block or in the tail after the last whole one.
TEST(DocumentTest, ControlCharacterIsFoundWhereverItStands) {
    TempDir dir;
    using Place = std::pair<size_t, size_t>; // length of the text, place of the character
    for (auto [length, at] : {Place{257, 3}, Place{257, 15}, Place{257, 16}, Place{257, 63},
                              Place{257, 64}, Place{257, 127}, Place{257, 252}, Place{70, 66}}) {
        std::string text = "<a>" + std::string(length - 7, '\t') + "</a>";
        text[at] = '\x01';
        if (at + 1 < length - 4)
            text[at + 1] = '\x02';
        const std::string path = dir.write("c.xml", text);
        try {
            Document::open(path);
            ADD_FAILURE() << "no error for a control character at " << at;
        } catch (const tidy::Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      path + ": line 1, column " + std::to_string(at + 1) +
                          ": not well-formed XML: the control character U+0001, which XML does "
                          "not allow");
        }
    }
}

// A character ISO-8859-1 cannot hold is written as a reference in a value; in a name, which has
// none, the save refuses before it writes anything (a changed name has no place in the file).
TEST(DocumentTest, NameTheEncodingCannotHoldIsRefusedBeforeWriting) {
    TempDir dir;
    Document doc = Document::open(
        dir.write("a.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>\n<Gr\xFCn/></r>"));
    tidy::setAttribute(doc, doc.root(), "v", "\xE2\x82\xAC");
    doc.root().first_child().set_name("Gr\xC3\xBCn\xE2\x82\xAC");
    try {
        doc.save(dir.file("b.xml"));
        FAIL() << "saved:\n" << readFile(dir.file("b.xml"));
    } catch (const tidy::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  dir.file("b.xml") + ": cannot save: " + dir.file("a.xml") +
                      ": the element name holds a character that ISO-8859-1 "
                      "cannot hold, and XML has no character reference there");
    }
    EXPECT_EQ(dir.listing(), "a.xml");
    doc.root().first_child().set_name("Gr\xC3\xBCn");
    doc.save(dir.file("b.xml"));
    EXPECT_EQ(readFile(dir.file("b.xml")), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r "
                                           "v=\"&#8364;\">\n\t<Gr\xFCn />\n</r>\n");
}

TEST(DocumentSaveTest, FailureLeavesNoTemporaryFileBehind) {
    TempDir dir;
    std::string path = dir.write("a.xml", kSmall);
    Document doc = Document::open(path);
    // The destination is a folder: the rename fails after the temporary file was written.
    std::filesystem::create_directory(dir.path() / "dest.xml");
    std::filesystem::create_directory(dir.path() / "dest.xml" / "inside");
    EXPECT_THROW(doc.save(dir.file("dest.xml")), tidy::Error);
    EXPECT_EQ(dir.listing(), "a.xml dest.xml");
}

TEST(DocumentTest, WhereNamesLineAndColumn) {
    TempDir dir;
    std::string path =
        dir.write("a.xml", "<?xml version=\"1.0\"?>\r\n<LandXML>\r\n  <Surfaces>\r\n\t<Surface "
                           "name=\"\xC3\xA4\"/><Surface/></Surfaces></LandXML>");
    Document doc = Document::open(path);
    pugi::xml_node first = tidy::findNode(tidy::findNode(doc.root(), "Surfaces"), "Surface");
    EXPECT_EQ(doc.where(first), path + ": line 4, column 2");
    // Columns count characters, not bytes.
    EXPECT_EQ(doc.where(first.next_sibling()), path + ": line 4, column 21");
}
