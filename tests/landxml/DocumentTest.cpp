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

struct BadInput {
    const char* label;
    std::string bytes;
    const char* expected; // part of the message
};

class DocumentRefusesTest : public ::testing::TestWithParam<BadInput> {};

// Bad input is refused with a message naming the file and, where there is one, the place.
TEST_P(DocumentRefusesTest, WithAClearMessage) {
    const BadInput& c = GetParam();
    TempDir dir;
    std::string path = dir.write("bad.xml", c.bytes);
    try {
        Document::open(path);
        FAIL() << "no error for " << c.label;
    } catch (const tidy::Error& e) {
        std::string msg = e.what();
        EXPECT_EQ(msg.rfind(path + ":", 0), 0u) << msg;
        EXPECT_NE(msg.find(c.expected), std::string::npos) << msg;
    }
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, DocumentRefusesTest,
    ::testing::Values(
        BadInput{"unclosed", "<LandXML>\n  <Surfaces>\n  <Surface name=\"a\">\n</LandXML>\n",
                 "line 4, column"},
        BadInput{"not_xml", "this is not xml", "not well-formed"},
        BadInput{"empty", "", "not well-formed"},
        BadInput{"bad_utf8", "<LandXML>\n<Surfaces name=\"\xFF\"/></LandXML>",
                 "line 2, column 17: the text is not valid UTF-8"},
        BadInput{"bom_contradicts",
                 "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>",
                 "byte-order mark"},
        BadInput{"utf16_declared_not_stored", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>",
                 "not stored as UTF-16"},
        BadInput{"other_encoding", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a/>",
                 "windows-1252"},
        BadInput{"ascii_with_8bit",
                 "<?xml version=\"1.0\" encoding=\"US-ASCII\"?><a b=\"\xC3\xBC\"/>",
                 "not valid US-ASCII"},
        BadInput{"entity_bomb",
                 "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY a \"aaaa\"><!ENTITY b "
                 "\"&a;&a;&a;\">]>\n<a>&b;</a>",
                 "line 2, column 1: the DOCTYPE declares entities"},
        BadInput{"undeclared_reference", "<a>\n<b n=\"x &nbsp; y\"/></a>",
                 "line 2, column 9: a reference to an undeclared entity"},
        BadInput{"bare_ampersand", "<!-- fine & dandy --><a><![CDATA[ & ]]>a & b</a>",
                 "line 1, column 42: a reference"},
        BadInput{"reference_to_nul", "<a>\n<b>x&#0;y</b></a>",
                 "line 2, column 5: not well-formed XML: a character reference"},
        BadInput{"hex_reference_to_nul", "<a b=\"p&#x0;q\"/>", "a character reference"},
        BadInput{"reference_to_control", "<a>&#1;</a>", "a character reference"},
        BadInput{"reference_to_surrogate", "<a>&#xD800;</a>", "a character reference"},
        BadInput{"reference_to_nonchar", "<a>&#xFFFE;</a>", "a character reference"},
        BadInput{"reference_past_unicode", "<a>&#1114112;</a>", "a character reference"},
        BadInput{"reference_overflowing", "<a>&#99999999999;</a>", "a character reference"},
        BadInput{"external_entity",
                 "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
                 "declares entities"}),
    [](const auto& param) { return std::string(param.param.label); });

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
        SavedForm{"text_then_elements", "<a>text<b/><c/></a>", "<a>text<b />\n\t<c />\n</a>\n"},
        SavedForm{"comment_cdata", "<a>  lead <!--c-->tail<![CDATA[x]]></a>",
                  "<a>  lead <!--c-->tail<![CDATA[x]]></a>\n"},
        SavedForm{"cdata_first", "<a><![CDATA[c]]>text</a>", "<a><![CDATA[c]]>text</a>\n"},
        SavedForm{"pi_first", "<a><?pi v?>text<b>inner</b></a>",
                  "<a>\n\t<?pi v?>text<b>inner</b>\n</a>\n"},
        SavedForm{"empty_and_blank", "<r><e></e><f/><g> </g><h>t</h></r>",
                  "<r>\n\t<e />\n\t<f />\n\t<g />\n\t<h>t</h>\n</r>\n"},
        SavedForm{"nested_and_escaped", "<r><p>x<q>y<s>z</s>w</q>v</p><t>1 &lt; 2</t></r>",
                  "<r>\n\t<p>x<q>y<s>z</s>w</q>v</p>\n\t<t>1 &lt; 2</t>\n</r>\n"}),
    [](const auto& param) { return std::string(param.param.label); });

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
