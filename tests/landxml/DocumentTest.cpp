// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/landxml/Document.h"

#include "TestSupport.h"
#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"

#include <gtest/gtest.h>

using tidy::Document;
using tidytest::readFile;
using tidytest::TempDir;

// No file loads as nothing (the callers say "no such file"), and nothing loaded is never saved.
TEST(DocumentTest, NothingLoadedIsNeverSaved) {
    TempDir dir;
    Document missing = Document::open(dir.file("absent.xml"));
    EXPECT_FALSE(missing.loaded());
    EXPECT_FALSE(missing.root());
    EXPECT_THROW(missing.save(dir.file("out.xml")), tidy::Error);
    EXPECT_EQ(dir.listing(), "");
}

// Refusals of bad input are files of tests/reliability/badinput, each with its expected message;
// what a save writes for each kind of node and reference, files of tests/reliability/roundtrip.

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
