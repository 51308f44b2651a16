// SPDX-License-Identifier: GPL-3.0-or-later
// What a load and a save must keep: the characters of the content, whatever references, line
// ends and whitespace carry them, in the file's own encoding and line ends. The cases are files
// in roundtrip/: NAME.xml saves as NAME.saved.xml, byte for byte; the generated ones are here.
#include "landxml/Document.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"
#include "landxml/XmlDump.h"

#include <gtest/gtest.h>

#include <filesystem>

using tidy::Document;
using tidytest::dump;
using tidytest::readFile;
using tidytest::TempDir;

namespace {

struct RoundTrip {
    const char* label;
    std::string xml;
    const char* element; // the element whose attribute "v" and text are compared
};

std::string utf16(std::u16string_view text, bool littleEndian) {
    std::string out;
    for (char16_t u : u"\uFEFF" + std::u16string(text)) {
        const char low = char(u & 0xFF), high = char(u >> 8);
        out += littleEndian ? low : high;
        out += littleEndian ? high : low;
    }
    return out;
}

std::u16string asciiToUtf16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Thousands of carriage returns, at every offset, in a text many times longer than the chunks the
// save writes: each comes back, in UTF-16 too, where a chunk's length counts for the alignment.
std::string manyCarriageReturns() {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += std::string(size_t(i % 11), 'x') + "&#13;";
    return "<LandXML><Note>" + text + "</Note></LandXML>";
}

// Characters whose UTF-16 bytes, one byte off where a character starts, read as the reference
// "&#01;" (U+2601 U+2300 U+3000 U+3100 U+3B00 in little endian, U+0100 U+2600 U+2300 U+3000
// U+3100 U+3B01 in big endian), next to a carriage return.
constexpr std::u16string_view kOffByOne =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><LandXML><Note>"
    u"\u2601\u2300\u3000\u3100\u3B00\u2600&#13;\u0100\u2600\u2300\u3000\u3100\u3B01"
    u"</Note></LandXML>";

void PrintTo(const RoundTrip& c, std::ostream* out) {
    *out << c.label;
}

class ContentRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

std::string describe(const Document& doc, const char* element) {
    const pugi::xml_node node = doc.root().child(element);
    return std::string("v=[") + node.attribute("v").value() + "] text=[" + node.text().get() + "]";
}

} // namespace

TEST(ContentRoundTripFolderTest, EachFileIsSavedAsItsExpectedBytesAndReadsBackTheSame) {
    const std::string folder = TIDY_ROUNDTRIP;
    int cases = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.size() < 10 || name.substr(name.size() - 10) == ".saved.xml")
            continue;
        SCOPED_TRACE(name);
        ++cases;
        TempDir dir;
        const Document before = Document::open(dir.write("in.xml", readFile(folder + "/" + name)));
        before.save(dir.file("out.xml"));
        const std::string expected = folder + "/" + name.substr(0, name.size() - 4) + ".saved.xml";
        EXPECT_TRUE(readFile(dir.file("out.xml")) == readFile(expected))
            << "saved:\n"
            << readFile(dir.file("out.xml"));
        const Document after = Document::open(dir.file("out.xml"));
        EXPECT_EQ(dump(after.xml()), dump(before.xml()));
        EXPECT_EQ(after.encoding(), before.encoding());
        EXPECT_EQ(after.lineEnd(), before.lineEnd());
    }
    EXPECT_GE(cases, 10);
}

TEST_P(ContentRoundTripTest, LoadSaveLoadKeepsTheCharacters) {
    const RoundTrip& c = GetParam();
    TempDir dir;
    const Document before = Document::open(dir.write("in.xml", c.xml));
    before.save(dir.file("out.xml"));
    const Document after = Document::open(dir.file("out.xml"));
    EXPECT_EQ(describe(after, c.element), describe(before, c.element))
        << readFile(dir.file("out.xml"));
    EXPECT_EQ(after.encoding(), before.encoding());
}

INSTANTIATE_TEST_SUITE_P(
    Kept, ContentRoundTripTest,
    ::testing::Values(RoundTrip{"text_carriage_return_utf16le", utf16(kOffByOne, true), "Note"},
                      RoundTrip{"text_carriage_return_utf16be", utf16(kOffByOne, false), "Note"},
                      RoundTrip{"many_carriage_returns", manyCarriageReturns(), "Note"},
                      RoundTrip{"many_carriage_returns_utf16le",
                                utf16(asciiToUtf16(manyCarriageReturns()), true), "Note"}),
    [](const auto& param) { return std::string(param.param.label); });

namespace {

// Each reference the save writes for a control character other than tab, line feed and
// carriage return, as a comment, leaving out the one for `free` (0 for none).
std::string controlReferencesBut(int free) {
    std::string comment = "<!--";
    for (int c = 1; c < 32; ++c)
        if (c != '\t' && c != '\n' && c != '\r' && c != free)
            comment += std::string(" &#") + char('0' + c / 10) + char('0' + c % 10) + ";";
    return comment + " -->";
}

} // namespace

// Comments, processing instructions, CDATA sections and the DOCTYPE are written as they are:
// what stands in them stays, even a raw carriage return or a reference's text, while a carriage
// return in element text is written as a reference. The document itself is what it was.
TEST(CarriageReturnTest, MarkupKeepsItsBytesAndTextItsCarriageReturn) {
    TempDir dir;
    const std::string doctype = "<!DOCTYPE LandXML [\r\n<!ELEMENT LandXML ANY>\r\n]>";
    const std::string pi = "<?app one\r\ntwo &#01;?>";
    const Document doc = Document::open(
        dir.write("in.xml", doctype + "\r\n" + pi +
                                "\r\n<LandXML>\r\n<!-- &#01; &#02;\r\n-->\r\n"
                                "<Note>x&#13;y<![CDATA[&#03;]]>z&#13;</Note>\r\n</LandXML>\r\n"));
    const std::string loaded = dump(doc.xml());
    doc.save(dir.file("out.xml"));

    EXPECT_EQ(dump(doc.xml()), loaded);
    const std::string saved = readFile(dir.file("out.xml"));
    EXPECT_NE(saved.find(doctype), std::string::npos) << saved;
    EXPECT_NE(saved.find(pi), std::string::npos) << saved;
    EXPECT_NE(saved.find("<!-- &#01; &#02;\r\n-->"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Note>x&#13;y<![CDATA[&#03;]]>z&#13;</Note>"), std::string::npos)
        << saved;
    EXPECT_EQ(dump(Document::open(dir.file("out.xml")).xml()), loaded);
}

// The one reference no comment holds is the one the save can take.
TEST(CarriageReturnTest, SavedWhileOneReferenceIsFree) {
    TempDir dir;
    const std::string comment = controlReferencesBut(27);
    const Document doc = Document::open(
        dir.write("in.xml", "<LandXML>" + comment + "<Note>a&#13;b</Note></LandXML>"));
    doc.save(dir.file("out.xml"));
    EXPECT_EQ(readFile(dir.file("out.xml")),
              "<LandXML>\n\t" + comment + "\n\t<Note>a&#13;b</Note>\n</LandXML>\n");
}

// With every reference taken, the save refuses before it writes anything.
TEST(CarriageReturnTest, RefusedWhenEveryReferenceIsTaken) {
    TempDir dir;
    const Document doc =
        Document::open(dir.write("in.xml", "<LandXML><?app " + controlReferencesBut(0) +
                                               "?><Note>a&#13;b</Note></LandXML>"));
    const std::string loaded = dump(doc.xml());
    const std::string out = dir.file("out.xml");
    try {
        doc.save(out);
        FAIL() << "saved:\n" << readFile(out);
    } catch (const tidy::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(out + ": cannot save: a carriage return", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(dir.listing(), "in.xml");
    EXPECT_EQ(dump(doc.xml()), loaded);
}

// A carriage return that an operation puts into a text is kept like one read from the file; in
// a CDATA section, which has no references, it could not be, and the save refuses.
TEST(CarriageReturnTest, SetByAnOperation) {
    TempDir dir;
    Document doc = Document::open(
        dir.write("in.xml", "<LandXML><Note>plain</Note><Raw><![CDATA[x]]></Raw></LandXML>"));
    tidy::setNodeText(doc, doc.root().child("Note"), "a\rb\r\nc");
    doc.save(dir.file("out.xml"));
    EXPECT_EQ(tidy::nodeText(Document::open(dir.file("out.xml")).root().child("Note")),
              "a\rb\r\nc");

    tidy::setNodeText(doc, doc.root().child("Raw"), "y\rz");
    try {
        doc.save(dir.file("raw.xml"));
        FAIL() << "saved:\n" << readFile(dir.file("raw.xml"));
    } catch (const tidy::Error& e) {
        EXPECT_NE(std::string(e.what()).find("a CDATA section holds a carriage return"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(dir.listing(), "in.xml out.xml");
}
