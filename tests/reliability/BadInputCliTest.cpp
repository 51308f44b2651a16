// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue (badinput/, each file with its sidecar) through the real tidyland: an
// operation that meets the fault exits with
// status 1 and one line "tidyland: FILE: place: what", and leaves the folder exactly as it
// was; every other operation succeeds on the same file.
#include "Catalogue.h"
#include "TestSupport.h"
#include "Tidyland.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

using namespace tidytest;

namespace {

// The tidyland command for `op`; `output` "" writes in place.
std::vector<std::string> command(Operation op, const std::string& file, const std::string& output) {
    std::vector<std::string> args;
    switch (op) {
    case Scan:
        return {"scan", file};
    case Triangles:
        args = {"clean", "--triangles"};
        break;
    case Curves:
        args = {"clean", "--curves"};
        break;
    case Rename:
        args = {"rename", "--name", std::string(kSurfaceName) + "=" + std::string(kNewName)};
        break;
    case Color:
        args = {"color", "--color", std::string(kSurfaceName) + "=" + std::to_string(kNewColor)};
        break;
    }
    if (output.empty()) {
        args.push_back("--in-place");
    } else {
        args.push_back("-o");
        args.push_back(output);
    }
    args.push_back(file);
    return args;
}

// Scan writes nothing; the others write in place and to a new file.
std::vector<bool> outputModes(Operation op) {
    return op == Scan ? std::vector<bool>{false} : std::vector<bool>{false, true};
}

// The operation failed on `file` with a message that begins with `beginning` and says `says`,
// and wrote nothing.
void expectRefused(const Outcome& r, const std::string& beginning, const std::string& says) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind(beginning, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_EQ(r.out, "");
}

class BadInputCliTest : public ::testing::TestWithParam<BadFile> {};

} // namespace

TEST_P(BadInputCliTest, RefusedWithTheFileUnchangedAndHandledElsewhere) {
    const BadFile& entry = GetParam();
    const std::string bytes = catalogueBytes(entry);
    for (Operation op : kOperations) {
        for (bool toNewFile : outputModes(op)) {
            SCOPED_TRACE(std::string(operationName(op)) + (toNewFile ? " -o" : " in place"));
            TempDir dir;
            const std::string file = dir.write(entry.name, bytes);
            const Outcome r = runTidyland(command(op, file, toNewFile ? dir.file("out.xml") : ""));
            if (!(entry.refusing & op)) {
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
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputCliTest, ::testing::ValuesIn(catalogue()),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             return name.substr(0, name.find('.'));
                         });

namespace {

class NotAFileCliTest : public ::testing::TestWithParam<bool> {};

} // namespace

// Nothing at the path, or a folder in place of the file: every operation refuses, nothing is
// created, the folder keeps what it held.
TEST_P(NotAFileCliTest, EveryOperationRefusesAndCreatesNothing) {
    const bool folder = GetParam();
    for (Operation op : kOperations) {
        for (bool toNewFile : outputModes(op)) {
            SCOPED_TRACE(std::string(operationName(op)) + (toNewFile ? " -o" : " in place"));
            TempDir dir;
            const std::string path = dir.file("survey.xml");
            if (folder) {
                std::filesystem::create_directory(path);
                dir.write("survey.xml/inside.txt", "kept");
            }
            const Outcome r = runTidyland(command(op, path, toNewFile ? dir.file("out.xml") : ""));
            expectRefused(r, "tidyland: " + path + ": no such file", "");
            EXPECT_EQ(dir.listing(), folder ? "survey.xml" : "");
            if (folder) {
                EXPECT_EQ(readFile(dir.file("survey.xml/inside.txt")), "kept");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MissingOrFolder, NotAFileCliTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Folder" : "Missing"; });

namespace {

// Runs every operation on a file its user may not read.
void expectUnreadableRefused(const TempDir& dir, const std::string& file, const std::string& bytes,
                             const ChildOptions& options) {
    for (Operation op : kOperations) {
        for (bool toNewFile : outputModes(op)) {
            SCOPED_TRACE(std::string(operationName(op)) + (toNewFile ? " -o" : " in place"));
            const Outcome r =
                runTidyland(command(op, file, toNewFile ? dir.file("out.xml") : ""), options);
            expectRefused(r, "tidyland: " + file + ": cannot open the file: ", "Permission denied");
            EXPECT_EQ(dir.listing(), "survey.xml");
        }
    }
    chmod(file.c_str(), 0644);
    EXPECT_EQ(readFile(file), bytes);
}

} // namespace

TEST(UnreadableCliTest, FileWithoutReadPermission) {
    if (canActAsNobody())
        GTEST_SKIP() << "root reads every file; FileUnreadableToAnotherUser covers root";
    TempDir dir;
    const std::string bytes = catalogueBytes(catalogue().front());
    const std::string file = dir.write("survey.xml", bytes);
    chmod(file.c_str(), 0);
    expectUnreadableRefused(dir, file, bytes, {});
}

// Root reads every file, so as root tidyland runs as "nobody" on a file only root may read.
TEST(UnreadableCliTest, FileUnreadableToAnotherUser) {
    if (const auto why = whyTidylandCannotRunAsNobody())
        GTEST_SKIP() << *why;
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    const std::string bytes = catalogueBytes(catalogue().front());
    const std::string file = dir.write("survey.xml", bytes);
    chmod(file.c_str(), 0600);
    expectUnreadableRefused(dir, file, bytes, ChildOptions{true, {}});
}
