// SPDX-License-Identifier: GPL-3.0-or-later
// Document loads and saves under POSIX file modes, links, signals and resource limits.
#include "landxml/Document.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using tidy::Document;
using tidytest::readFile;
using tidytest::TempDir;

namespace {

const char* kSmall = R"(<?xml version="1.0" encoding="UTF-8"?>
<LandXML version="1.2">
  <Surfaces><Surface name="EG"/></Surfaces>
</LandXML>
)";

} // namespace

TEST(DocumentTest, UnreadableFileIsAnErrorNamingIt) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    std::string path = dir.write("locked.xml", "<a/>");
    chmod(path.c_str(), 0);
    EXPECT_THROW(Document::open(path), tidy::Error);
}

TEST(DocumentSaveTest, FailureInAReadOnlyFolderLeavesTheOriginal) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "ro");
    std::string path = dir.write("ro/a.xml", kSmall);
    Document doc = Document::open(path);
    tidy::setAttribute(doc, doc.root(), "changed", "yes");
    chmod((dir.path() / "ro").c_str(), 0555);
    if (access((dir.path() / "ro").c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user can write to read-only folders (root)";
    EXPECT_THROW(doc.save(path), tidy::Error);
    EXPECT_EQ(readFile(path), kSmall);
    chmod((dir.path() / "ro").c_str(), 0755);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "ro"), {}), 1);
}

namespace {

[[noreturn]] void saveUnderSizeLimit(const std::string& path) {
    Document doc = Document::open(path);
    tidy::setAttribute(doc, doc.root(), "changed", "yes");
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        doc.save(path);
    } catch (const tidy::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::_Exit(3);
    }
    std::_Exit(0);
}

} // namespace

// A write that fails half way (here: the file size limit, which holds for root too) leaves the
// destination as it was and no temporary file.
TEST(DocumentSaveTest, WriteFailureHalfWayLeavesTheOriginal) {
    TempDir dir;
    std::string big = "<LandXML><Surfaces>";
    for (int i = 0; i < 20000; ++i)
        big += "<Surface name=\"s" + std::to_string(i) + "\"/>";
    big += "</Surfaces></LandXML>";
    std::string path = dir.write("a.xml", big);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(saveUnderSizeLimit(path), ::testing::ExitedWithCode(3),
                "cannot save: cannot write");
    EXPECT_EQ(readFile(path), big);
    EXPECT_EQ(dir.listing(), "a.xml");
}

TEST(DocumentSaveTest, KeepsPermissionsAndReplacesTheTargetOfALink) {
    TempDir dir;
    std::string target = dir.write("real.xml", kSmall);
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
