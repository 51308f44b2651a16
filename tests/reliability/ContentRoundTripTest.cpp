// SPDX-License-Identifier: GPL-3.0-or-later
// What a load and a save must keep: the characters of the content, whatever references, line
// ends and whitespace carry them, in the file's own encoding and line ends. The cases are files
// in roundtrip/.
#include "core/landxml/Document.h"

#include "TestSupport.h"
#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"
#include "landxml/XmlDump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

using tidy::Document;
using tidytest::dump;
using tidytest::readFile;
using tidytest::TempDir;

// NAME.xml saves as itself, byte for byte, or as NAME.saved.xml where there is one, or fails with
// NAME.error (the message after the path of the file written); either way the document stays as
// it was loaded, and a saved file loads to it. The real exports, where present, save as
// themselves too. TIDY_UPDATE_CASES=1 writes NAME.saved.xml from a save that differs.
TEST(ContentRoundTripFolderTest, EachFileIsSavedAsItsExpectedBytesAndReadsBackTheSame) {
    const char* update = std::getenv("TIDY_UPDATE_CASES");
    int cases = 0;
    std::vector<std::filesystem::path> inputs;
    for (const std::string folder : {TIDY_ROUNDTRIP, TIDY_REALDATA})
        if (std::filesystem::is_directory(folder))
            for (const auto& e : std::filesystem::directory_iterator(folder))
                inputs.push_back(e.path());
    for (const std::filesystem::path& input : inputs) {
        const std::string name = input.filename().string();
        const std::string stem = (input.parent_path() / input.stem()).string();
        if (input.extension() != ".xml" || input.stem().extension() == ".saved")
            continue;
        SCOPED_TRACE(name);
        ++cases;
        TempDir dir;
        const std::string bytes = readFile(input.string());
        const Document before = Document::open(dir.write("in.xml", bytes));
        const std::string loaded = dump(before.xml());
        const std::string out = dir.file("out.xml");
        if (std::filesystem::exists(stem + ".error")) {
            try {
                before.save(out);
                ADD_FAILURE() << "saved:\n" << readFile(out);
            } catch (const tidy::Error& error) {
                const std::string says = out + ": " + readFile(stem + ".error");
                EXPECT_EQ(std::string(error.what()).rfind(says, 0), 0u) << error.what();
            }
            EXPECT_EQ(dir.listing(), "in.xml");
            EXPECT_EQ(dump(before.xml()), loaded);
            continue;
        }
        before.save(out);
        const bool own = std::filesystem::exists(stem + ".saved.xml");
        if (update && std::string(update) == "1" && readFile(out) != bytes)
            tidytest::writeFile(stem + ".saved.xml", readFile(out));
        EXPECT_TRUE(readFile(out) == (own ? readFile(stem + ".saved.xml") : bytes))
            << "saved:\n"
            << readFile(out);
        EXPECT_EQ(dump(before.xml()), loaded) << "the save changed the document";
        const Document after = Document::open(out);
        EXPECT_EQ(dump(after.xml()), loaded);
        EXPECT_EQ(after.encoding(), before.encoding());
        EXPECT_EQ(after.lineEnd(), before.lineEnd());
    }
    EXPECT_GE(cases, 10);
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
