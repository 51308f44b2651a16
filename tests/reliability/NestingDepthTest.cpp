// SPDX-License-Identifier: GPL-3.0-or-later
// Deeply nested elements: the save indents every line by its depth, so a small file of deeply
// nested elements would come back many times its size. The loader draws the line at 256 levels.
#include "landxml/Document.h"

#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

#include <filesystem>

using tidy::Document;
using tidytest::TempDir;

namespace {

// A root element holding `levels - 1` nested elements, the innermost with a sibling after it
// nested as deep, so that the walk has to climb out and down again.
std::string nested(int levels) {
    std::string text = "<LandXML>\n";
    for (int i = 1; i < levels; ++i)
        text += "<a>";
    text += "</a>\n<b/>";
    for (int i = 2; i < levels; ++i)
        text += "</a>";
    return text + "</LandXML>\n";
}

} // namespace

TEST(NestingDepthTest, TwoHundredFiftySixLevelsLoadAndSaveAtTheirSize) {
    TempDir dir;
    const std::string path = dir.write("deep.xml", nested(256));
    const Document doc = Document::open(path);
    doc.save(dir.file("out.xml"));
    // 256 levels of tabs on a few lines: bounded, whatever the depth below the limit.
    EXPECT_LT(std::filesystem::file_size(dir.file("out.xml")), 256u * 256u * 2u);
}

TEST(NestingDepthTest, OneLevelMoreIsRefusedAtTheElementThatGoesTooDeep) {
    TempDir dir;
    const std::string path = dir.write("deep.xml", nested(257));
    try {
        Document::open(path);
        FAIL() << "257 levels were loaded";
    } catch (const tidy::Error& e) {
        // The innermost <a> is the 256th on line 2; <b/> stands at the same depth after it.
        EXPECT_EQ(std::string(e.what()).rfind(path + ": line 2, column 766: ", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find("nested more than 256 levels deep"), std::string::npos)
            << e.what();
    }
}

TEST(NestingDepthTest, DepthCountsOnlyTheElementsAbove) {
    // Many siblings and comments at one level are no depth at all.
    std::string wide = "<LandXML>";
    for (int i = 0; i < 1000; ++i)
        wide += "<a><!-- c --><b>text</b></a>";
    wide += "</LandXML>";
    TempDir dir;
    EXPECT_NO_THROW(Document::open(dir.write("wide.xml", wide)));
}
