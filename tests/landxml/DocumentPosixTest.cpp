// SPDX-License-Identifier: GPL-3.0-or-later
// A save through a symbolic link. Refused saves (modes, full disks, size limits, signals) are
// driven through the real tidyland in tests/reliability.
#include "landxml/Document.h"

#include "TestSupport.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using tidy::Document;
using tidytest::readFile;
using tidytest::TempDir;

TEST(DocumentSaveTest, KeepsPermissionsAndReplacesTheTargetOfALink) {
    TempDir dir;
    std::string target = dir.write("real.xml", "<LandXML version=\"1.2\"/>\n");
    chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("real.xml", dir.path() / "link.xml");
    Document doc = Document::open(dir.file("link.xml"));
    tidy::setAttribute(doc, doc.root(), "changed", "yes");
    doc.save(dir.file("link.xml"));

    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.xml"));
    EXPECT_NE(readFile(target).find("changed=\"yes\""), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.listing(), "link.xml real.xml");
}
