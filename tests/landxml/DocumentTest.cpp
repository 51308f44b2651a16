// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/Document.h"

#include "TestSupport.h"
#include "XmlDump.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <filesystem>

using tidy::Document;
using tidy::Encoding;
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

// Every node of `a` and `b` in document order: kind, name, value and attributes.
// Each byte of `latin1` as one UTF-16 code unit.
std::string toUtf16(std::string_view latin1, bool little, bool bom) {
    std::string out;
    if (bom)
        out += little ? "\xFF\xFE" : "\xFE\xFF";
    for (unsigned char c : latin1) {
        if (little) {
            out += char(c);
            out += '\0';
        } else {
            out += '\0';
            out += char(c);
        }
    }
    return out;
}

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

struct EncodingCase {
    const char* label;
    std::string bytes;
    Encoding encoding;
    bool bom;
};

class DocumentEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

// Each supported encoding is read, and written back in the same encoding, with a new name that
// needs more than ASCII.
TEST_P(DocumentEncodingTest, SavesInTheSourceEncoding) {
    const EncodingCase& c = GetParam();
    TempDir dir;
    std::string path = dir.write("in.xml", c.bytes);
    Document doc = Document::open(path);
    ASSERT_TRUE(doc.loaded());
    EXPECT_EQ(doc.encoding(), c.encoding);
    EXPECT_EQ(doc.hasByteOrderMark(), c.bom);
    pugi::xml_node surface = tidy::findNode(tidy::findNode(doc.root(), "Surfaces"), "Surface");
    EXPECT_EQ(tidy::attributeText(surface, "name"), "Gr\xC3\xBCn");
    tidy::setAttribute(doc, surface, "name", "M\xC3\xA4\xC3\xA4r");
    doc.save(path);

    std::string saved = readFile(path);
    Document again = Document::open(path);
    EXPECT_EQ(again.encoding(), c.encoding);
    EXPECT_EQ(again.hasByteOrderMark(), c.bom);
    EXPECT_EQ(tidy::attributeText(
                  tidy::findNode(tidy::findNode(again.root(), "Surfaces"), "Surface"), "name"),
              "M\xC3\xA4\xC3\xA4r");
    if (c.encoding == Encoding::Latin1) {
        EXPECT_NE(saved.find("M\xE4\xE4r"), std::string::npos);
    }
    if (c.bom && c.encoding == Encoding::Utf16LE) {
        EXPECT_EQ(saved.substr(0, 2), "\xFF\xFE");
    }
    if (c.bom && c.encoding == Encoding::Utf8) {
        EXPECT_EQ(saved.substr(0, 3), "\xEF\xBB\xBF");
    }
    if (!c.bom) {
        EXPECT_EQ(saved[0], c.encoding == Encoding::Utf16BE ? '\0' : '<');
    }
}

std::string utf16Doc(bool little, bool bom) {
    return toUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                   "<LandXML><Surfaces><Surface name=\"Gr\xFCn\"/></Surfaces></LandXML>\n",
                   little, bom);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DocumentEncodingTest,
    ::testing::Values(
        EncodingCase{"utf8",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LandXML><Surfaces><Surface "
                     "name=\"Gr\xC3\xBCn\"/></Surfaces></LandXML>",
                     Encoding::Utf8, false},
        EncodingCase{
            "utf8bom",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><LandXML><Surfaces><Surface "
            "name=\"Gr\xC3\xBCn\"/></Surfaces></LandXML>",
            Encoding::Utf8, true},
        EncodingCase{"undeclared",
                     "<LandXML><Surfaces><Surface name=\"Gr\xC3\xBCn\"/></Surfaces></LandXML>",
                     Encoding::Utf8, false},
        EncodingCase{
            "latin1",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<LandXML><Surfaces><Surface "
            "name=\"Gr\xFCn\"/></Surfaces></LandXML>",
            Encoding::Latin1, false},
        EncodingCase{"utf16le", utf16Doc(true, true), Encoding::Utf16LE, true},
        EncodingCase{"utf16be", utf16Doc(false, true), Encoding::Utf16BE, true},
        EncodingCase{"utf16le_nobom", utf16Doc(true, false), Encoding::Utf16LE, false}),
    [](const auto& param) { return std::string(param.param.label); });

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

struct SavedForm {
    const char* label;
    const char* loaded;
    const char* saved;
};

class DocumentSavedFormTest : public ::testing::TestWithParam<SavedForm> {};

// The text that opens an element is kept in the element itself; a save writes it exactly where
// a text node of its own would have been written.
TEST_P(DocumentSavedFormTest, IsThatOfTextNodes) {
    TempDir dir;
    Document doc = Document::open(dir.write("a.xml", GetParam().loaded));
    doc.save(dir.file("b.xml"));
    EXPECT_EQ(readFile(dir.file("b.xml")), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    MixedContent, DocumentSavedFormTest,
    ::testing::Values(
        // Beside text, the whitespace is content: the save adds none.
        SavedForm{"text_then_elements", "<a>text<b/><c/></a>", "<a>text<b /><c /></a>\n"},
        SavedForm{"comment_cdata", "<a>  lead <!--c-->tail<![CDATA[x]]></a>",
                  "<a>  lead <!--c-->tail<![CDATA[x]]></a>\n"},
        SavedForm{"cdata_first", "<a><![CDATA[c]]>text</a>", "<a><![CDATA[c]]>text</a>\n"},
        SavedForm{"pi_first", "<r><a><?pi v?>text<b>inner</b></a></r>",
                  "<r>\n\t<a><?pi v?>text<b>inner</b></a>\n</r>\n"},
        SavedForm{"empty_and_blank", "<r><e></e><f/><g> </g><h>t</h></r>",
                  "<r>\n\t<e />\n\t<f />\n\t<g />\n\t<h>t</h>\n</r>\n"},
        SavedForm{"nested_and_escaped", "<r><p>x<q>y<s>z</s>w</q>v</p><t>1 &lt; 2</t></r>",
                  "<r>\n\t<p>x<q>y<s>z</s>w</q>v</p>\n\t<t>1 &lt; 2</t>\n</r>\n"}),
    [](const auto& param) { return std::string(param.param.label); });

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
