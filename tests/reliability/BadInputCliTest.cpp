// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue (badinput/, each file with its sidecar) through the real tidyland: an
// operation that meets the fault exits with status 1 and one line "tidyland: FILE: place: what",
// and leaves the folder exactly as it was; every other operation succeeds on the same file. A
// path that holds no readable file is refused by every operation alike.
#include "Catalogue.h"
#include "TestSupport.h"
#include "Tidyland.h"

#include <gtest/gtest.h>
using namespace tidytest;

namespace {

class BadInputCliTest : public ::testing::TestWithParam<BadFile> {};

} // namespace

TEST_P(BadInputCliTest, RefusedWithTheFileUnchangedAndHandledElsewhere) {
    const BadFile& entry = GetParam();
    const std::string bytes = catalogueBytes(entry);
    for (const Command& c : everyCommand()) {
        SCOPED_TRACE(commandLine(c.args));
        TempDir dir;
        const std::string file = dir.write(entry.name, bytes);
        const Outcome r = runTidyland(c.on(file, dir.file("out.xml")));
        if (!(entry.refusing & c.op)) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");
            continue;
        }
        const std::string place = entry.place.empty() ? "" : entry.place + ": ";
        expectRefused(r, "tidyland: " + file + ": " + place, entry.says);
        EXPECT_TRUE(readFile(file) == bytes) << "the file changed";
        EXPECT_EQ(dir.listing(), entry.name);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputCliTest, ::testing::ValuesIn(catalogue()),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             return name.substr(0, name.find('.'));
                         });

namespace {

class NoFileCliTest : public ::testing::TestWithParam<NoFile> {};

} // namespace

// Nothing at the path, a folder, FIFO or device in place of the file, a file its user may not
// read: every operation refuses, nothing is created, the folder keeps what it held. Root reads
// every file, so as root tidyland runs as "nobody".
TEST_P(NoFileCliTest, EveryOperationRefusesAndCreatesNothing) {
    const NoFile kind = GetParam();
    ChildOptions options;
    if (kind == NoFile::Unreadable && canActAsNobody()) {
        if (const auto why = whyTidylandCannotRunAsNobody())
            GTEST_SKIP() << *why;
        options.asNobody = true;
    }
    TempDir dir;
    const std::string path = makeNoFile(dir, kind);
    const std::string says = kind == NoFile::Unreadable ? "cannot open the file: Permission denied"
                             : kind == NoFile::Missing  ? "no such file"
                             : kind == NoFile::Folder   ? "is a folder"
                                                        : "not a regular file";
    for (const Command& c : everyCommand()) {
        SCOPED_TRACE(commandLine(c.args));
        expectRefused(runTidyland(c.on(path, dir.file("out.xml")), options),
                      "tidyland: " + path + ": " + says, "");
    }
    expectNoFileKept(dir, kind);
}

INSTANTIATE_TEST_SUITE_P(Paths, NoFileCliTest, ::testing::ValuesIn(kNoFiles),
                         [](const auto& param) { return noFileName(param.param); });
