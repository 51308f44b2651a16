// SPDX-License-Identifier: GPL-3.0-or-later
// Saves that fail or are cut short, injected from outside the real tidyland: a folder it may not
// write to, a file system that is full or read-only, a file size limit, and a SIGKILL in the
// middle of writing. The original must survive every one of them.
#include "TestSupport.h"
#include "Tidyland.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tidytest;

namespace {

// A LandXML file of at least `bytes` bytes, written as the tool writes it: one surface whose
// every tenth face lies outside the boundary.
std::string surveyOfSize(size_t bytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<LandXML version=\"1.2\">\n"
                       "\t<Surfaces>\n"
                       "\t\t<Surface name=\"EG\">\n"
                       "\t\t\t<Definition surfType=\"TIN\">\n"
                       "\t\t\t\t<Faces>\n";
    text.reserve(bytes + 256);
    for (int i = 1; text.size() < bytes; ++i) {
        text += i % 10 == 0 ? "\t\t\t\t\t<F i=\"1\">" : "\t\t\t\t\t<F>";
        text += std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2);
        text += "</F>\n";
    }
    return text + "\t\t\t\t</Faces>\n\t\t\t</Definition>\n\t\t</Surface>\n\t</Surfaces>\n"
                  "</LandXML>\n";
}

// The operations that write, each in place or to `output`.
std::vector<std::vector<std::string>> writingCommands(const std::string& file,
                                                      const std::string& output = "") {
    std::vector<std::string> where = output.empty() ? std::vector<std::string>{"--in-place"}
                                                    : std::vector<std::string>{"-o", output};
    std::vector<std::vector<std::string>> commands = {
        {"clean", "--triangles"}, {"clean"}, {"rename", "--name", "EG=FG"}, {"color"}};
    for (auto& c : commands) {
        c.insert(c.end(), where.begin(), where.end());
        c.push_back(file);
    }
    return commands;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string joined(const std::vector<std::string>& args) {
    std::string s;
    for (const std::string& a : args)
        s += (s.empty() ? "" : " ") + a;
    return s;
}

// The save failed for `reason`, the file is as it was and the folder holds what it held.
void expectSaveRefused(const Outcome& r, const std::string& file, const std::string& bytes,
                       const std::filesystem::path& folder, const std::string& reason) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind("tidyland: " + file + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("cannot save"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    EXPECT_TRUE(readFile(file) == bytes) << "the file changed";
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{std::filesystem::path(file).filename().string()});
}

// A tmpfs on a folder for the life of the object, where this process may mount one.
class Tmpfs {
public:
    Tmpfs(std::filesystem::path where, const std::string& options)
        : where_(std::move(where)), options_(options) {
        std::filesystem::create_directory(where_);
        mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, options_.c_str()) == 0;
    }
    ~Tmpfs() {
        if (mounted_)
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool mounted() const { return mounted_; }
    bool makeReadOnly() {
        return ::mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       options_.c_str()) == 0;
    }

private:
    std::filesystem::path where_;
    std::string options_;
    bool mounted_ = false;
};

} // namespace

TEST(SaveFailureTest, ReadOnlyFolder) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "ro";
    std::filesystem::create_directory(folder);
    const std::string bytes = surveyOfSize(4096);
    const std::string file = dir.write("ro/survey.xml", bytes);
    chmod(folder.c_str(), 0555);
    if (access(folder.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user writes into read-only folders (root); see the other two";
    for (const auto& args : writingCommands(file)) {
        SCOPED_TRACE(joined(args));
        expectSaveRefused(runTidyland(args), file, bytes, folder, "Permission denied");
    }
}

// Root writes into any folder, so as root tidyland runs as "nobody" in a folder of root's.
TEST(SaveFailureTest, FolderReadOnlyToAnotherUser) {
    if (const auto why = whyTidylandCannotRunAsNobody())
        GTEST_SKIP() << *why;
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    const std::string bytes = surveyOfSize(4096);
    const std::string file = dir.write("survey.xml", bytes);
    for (const auto& args : writingCommands(file)) {
        SCOPED_TRACE(joined(args));
        expectSaveRefused(runTidyland(args, ChildOptions{true, {}}), file, bytes, dir.path(),
                          "Permission denied");
    }
}

// A read-only mount refuses root as well.
TEST(SaveFailureTest, ReadOnlyFileSystem) {
    TempDir dir;
    Tmpfs tmpfs(dir.path() / "mnt", "size=1m");
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string bytes = surveyOfSize(4096);
    const std::string file = dir.write("mnt/survey.xml", bytes);
    ASSERT_TRUE(tmpfs.makeReadOnly());
    for (const auto& args : writingCommands(file)) {
        SCOPED_TRACE(joined(args));
        expectSaveRefused(runTidyland(args), file, bytes, dir.path() / "mnt",
                          "Read-only file system");
    }
}

// The file takes more than half of a small file system: the second copy does not fit.
TEST(SaveFailureTest, FullFileSystem) {
    TempDir dir;
    Tmpfs tmpfs(dir.path() / "mnt", "size=256k");
    if (!tmpfs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here; FileSizeLimit fails the write instead";
    const std::string bytes = surveyOfSize(160 * 1024);
    const std::string file = dir.write("mnt/survey.xml", bytes);
    for (const std::string& output : {std::string(), dir.file("mnt/out.xml")}) {
        for (const auto& args : writingCommands(file, output)) {
            SCOPED_TRACE(joined(args));
            expectSaveRefused(runTidyland(args), file, bytes, dir.path() / "mnt",
                              "No space left on device");
        }
    }
}

// A write that fails half way wherever mounting is not allowed: the file size limit holds for
// every user.
TEST(SaveFailureTest, FileSizeLimit) {
    TempDir dir;
    const std::string bytes = surveyOfSize(200 * 1024);
    const std::string file = dir.write("survey.xml", bytes);
    for (const std::string& output : {std::string(), dir.file("out.xml")}) {
        for (const auto& args : writingCommands(file, output)) {
            SCOPED_TRACE(joined(args));
            expectSaveRefused(runTidyland(args, ChildOptions{false, 64 * 1024}), file, bytes,
                              dir.path(), "File too large");
        }
    }
}

// SIGKILL leaves no chance to clean up: the original must still be whole, the next save must
// work, and the partial temporary file is left where it is (nothing can prove it ours).
TEST(SaveFailureTest, KilledWhileWriting) {
    TempDir dir;
    const std::string bytes = surveyOfSize(50 << 20);
    const std::string file = dir.write("big.xml", bytes);

    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_CREATE | IN_MODIFY), 0);
    const pid_t child = startTidyland({"clean", "--triangles", "--in-place", file});

    // Killed at the first write into its temporary file.
    std::string temporary;
    bool killed = false;
    while (!killed) {
        pollfd ready{watch, POLLIN, 0};
        if (poll(&ready, 1, 300'000) != 1)
            break; // a guard against hanging, not a measurement
        alignas(inotify_event) char events[4096];
        const ssize_t n = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n && !killed;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            const std::string name = e->len ? e->name : "";
            if ((e->mask & IN_CREATE) && name.rfind(".big.xml.tidy-", 0) == 0)
                temporary = name;
            if ((e->mask & IN_MODIFY) && !temporary.empty() && name == temporary)
                killed = kill(child, SIGKILL) == 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    close(watch);
    if (!killed)
        kill(child, SIGKILL);
    const Outcome r = waitFor(child);
    ASSERT_TRUE(killed) << "never saw tidyland write its temporary file";
    ASSERT_EQ(r.signal, SIGKILL) << "tidyland ended before the kill, status " << r.status;

    EXPECT_TRUE(readFile(file) == bytes) << "the original changed";
    const std::string left = dir.listing();
    EXPECT_EQ(left, temporary + " big.xml");
    std::cout << "left behind by the kill: " << temporary << ", "
              << std::filesystem::file_size(dir.path() / temporary) << " of about "
              << bytes.size() * 9 / 10 << " bytes\n";

    const Outcome again = runTidyland({"clean", "--triangles", "--in-place", file});
    EXPECT_EQ(again.status, 0) << again.err;
    const std::string cleaned = readFile(file);
    EXPECT_EQ(occurrences(cleaned, "<F>"), occurrences(bytes, "<F>")) << "every inside face";
    EXPECT_EQ(occurrences(cleaned, "<F i="), 0u) << "no outside face";
    EXPECT_EQ(dir.listing(), left) << "the next save leaves a stranger's file alone";
}
