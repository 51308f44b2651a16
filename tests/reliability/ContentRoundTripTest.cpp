// SPDX-License-Identifier: GPL-3.0-or-later
// Whitespace written as character references must come back from a load and a save as the same
// characters: the file's content is what the tool promises to keep, not its bytes.
#include "landxml/Document.h"

#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

using tidy::Document;
using tidytest::TempDir;

namespace {

struct RoundTrip {
    const char* label;
    const char* xml;
    const char* element; // the element whose attribute "v" and text are compared
};

class ContentRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

std::string describe(const Document& doc, const char* element) {
    const pugi::xml_node node = doc.root().child(element);
    return std::string("v=[") + node.attribute("v").value() + "] text=[" + node.text().get() + "]";
}

} // namespace

TEST_P(ContentRoundTripTest, LoadSaveLoadKeepsTheCharacters) {
    const RoundTrip& c = GetParam();
    TempDir dir;
    const Document before = Document::open(dir.write("in.xml", c.xml));
    before.save(dir.file("out.xml"));
    const Document after = Document::open(dir.file("out.xml"));
    EXPECT_EQ(describe(after, c.element), describe(before, c.element))
        << tidytest::readFile(dir.file("out.xml"));
}

INSTANTIATE_TEST_SUITE_P(
    Kept, ContentRoundTripTest,
    ::testing::Values(
        RoundTrip{"attribute_references",
                  "<LandXML><Note v=\"a&#9;b&#10;c&#13;d&#13;&#10;e\"/></LandXML>", "Note"},
        RoundTrip{"text_tab_and_line_feed", "<LandXML><Note>a&#9;b&#10;c</Note></LandXML>", "Note"},
        RoundTrip{"text_line_ends_in_the_file",
                  "<LandXML>\r\n<Note>line one\r\nline two\rthree</Note>\r\n</LandXML>", "Note"}),
    [](const auto& param) { return std::string(param.param.label); });

// Known loss, found by the fuzzer: pugixml writes a carriage return in text as it is, and every
// reader, this one included, reads a bare CR back as a line feed. Keeping it needs the save to
// write "&#13;" for it. Enable this case with that fix.
INSTANTIATE_TEST_SUITE_P(DISABLED_Lost, ContentRoundTripTest,
                         ::testing::Values(RoundTrip{
                             "text_carriage_return",
                             "<LandXML><Note>a&#13;b&#xD;&#xA;c</Note></LandXML>", "Note"}),
                         [](const auto& param) { return std::string(param.param.label); });

namespace {

struct LateDeclaration {
    const char* label;
    std::string bytes;
    tidy::Encoding encoding;
};

class LeadingWhitespaceTest : public ::testing::TestWithParam<LateDeclaration> {};

} // namespace

// The parser takes a declaration after leading whitespace, and the save writes it first: its
// encoding is the file's encoding, or a save would write bytes the declaration contradicts.
TEST_P(LeadingWhitespaceTest, TheDeclarationStillNamesTheEncoding) {
    const LateDeclaration& c = GetParam();
    TempDir dir;
    const Document doc = Document::open(dir.write("in.xml", c.bytes));
    EXPECT_EQ(doc.encoding(), c.encoding);
    doc.save(dir.file("out.xml"));
    EXPECT_EQ(Document::open(dir.file("out.xml")).encoding(), c.encoding);
    EXPECT_EQ(tidytest::readFile(dir.file("out.xml")).find('\xFC') != std::string::npos,
              c.encoding == tidy::Encoding::Latin1);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, LeadingWhitespaceTest,
    ::testing::Values(
        LateDeclaration{"latin1_after_a_line_feed",
                        "\n<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                        "<LandXML><Surfaces><Surface name=\"Gr\xFCn\"/></Surfaces></LandXML>",
                        tidy::Encoding::Latin1},
        LateDeclaration{"ascii_after_blanks_and_tabs",
                        " \t\r\n<?xml version=\"1.0\" encoding=\"US-ASCII\"?><LandXML/>",
                        tidy::Encoding::Ascii}),
    [](const auto& param) { return std::string(param.param.label); });

namespace {

struct CommentCase {
    const char* label;
    const char* comment;
    bool wellFormed;
};

class CommentTest : public ::testing::TestWithParam<CommentCase> {};

} // namespace

// XML allows no "--" inside a comment and no "-" at its end. The parser takes them, but the save
// would have to change the comment to write a well-formed file: such a comment is refused.
TEST_P(CommentTest, KeptWhenXmlAllowsItRefusedOtherwise) {
    const CommentCase& c = GetParam();
    TempDir dir;
    const std::string path =
        dir.write("in.xml", std::string("<LandXML>\n") + c.comment + "</LandXML>");
    if (!c.wellFormed) {
        try {
            Document::open(path);
            FAIL() << "loaded " << c.comment;
        } catch (const tidy::Error& e) {
            EXPECT_EQ(
                std::string(e.what()).rfind(path + ": line 2, column 1: not well-formed XML", 0),
                0u)
                << e.what();
        }
        return;
    }
    const Document before = Document::open(path);
    before.save(dir.file("out.xml"));
    EXPECT_EQ(std::string(Document::open(dir.file("out.xml")).root().first_child().value()),
              before.root().first_child().value());
}

INSTANTIATE_TEST_SUITE_P(Comments, CommentTest,
                         ::testing::Values(CommentCase{"single_hyphens", "<!-- a - b -->", true},
                                           CommentCase{"hyphen_first", "<!---a-->", true},
                                           CommentCase{"double_hyphen", "<!-- a -- b -->", false},
                                           CommentCase{"hyphen_last", "<!-- a --->", false}),
                         [](const auto& param) { return std::string(param.param.label); });

namespace {

class AroundTheRootTest : public ::testing::TestWithParam<const char*> {};

std::string topLevel(const Document& doc) {
    std::string out;
    for (pugi::xml_node n = doc.xml().first_child(); n; n = n.next_sibling())
        out += std::to_string(int(n.type())) + "<" + n.name() + ">[" + n.value() + "] ";
    return out;
}

} // namespace

// What XML allows before and after the root element loads and comes back from a save.
TEST_P(AroundTheRootTest, IsKept) {
    TempDir dir;
    const Document before = Document::open(dir.write("in.xml", GetParam()));
    before.save(dir.file("out.xml"));
    EXPECT_EQ(topLevel(Document::open(dir.file("out.xml"))), topLevel(before));
}

INSTANTIATE_TEST_SUITE_P(
    Markup, AroundTheRootTest,
    ::testing::Values(
        "<?xml version=\"1.0\"?>\n<!-- before -->\n<?app hint?>\n<!DOCTYPE LandXML>\n"
        "<LandXML/>\n<!-- after -->\n<?app end?>\n",
        "<?xml-stylesheet type=\"text/xsl\" href=\"a.xsl\"?><LandXML><a/></LandXML>",
        "<!DOCTYPE LandXML [<!ELEMENT LandXML ANY>]><LandXML>x</LandXML><!-- a > b -->"));
