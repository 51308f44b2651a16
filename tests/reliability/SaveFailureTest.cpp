// SPDX-License-Identifier: GPL-3.0-or-later
// Saves that fail, are refused or are cut short, injected from outside the real tidyland: a folder
// it may not write to, a file system that is full or read-only, a file size limit, destinations
// that are no file to replace, a file changed behind its back, and signals in the middle of
// writing. The original must survive every one of them, and a save that succeeds keeps what the
// replaced file carried.
#include "Catalogue.h"
#include "TestSupport.h"
#include "Tidyland.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <linux/fs.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
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

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every entry of the folder with its type and, for a regular file, its content.
std::string snapshot(const std::filesystem::path& folder) {
    std::string s;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        s += e.path().filename().string() + " " + std::to_string(int(e.symlink_status().type())) +
             "\n";
        if (e.is_regular_file() && !e.is_symlink())
            s += readFile(e.path().string());
    }
    return s;
}

// The run on `file` failed for `reason` and left its folder as it was.
void expectRefusedAndKept(const Outcome& r, const std::string& file, const std::string& reason,
                          const std::filesystem::path& folder, const std::string& before) {
    expectRefused(r, "tidyland: " + file + ": ", reason);
    EXPECT_EQ(snapshot(folder), before) << "the folder changed";
}

// An in-place clean of `file` succeeds and leaves no face outside the boundary.
void expectCleaned(const std::string& file, const ChildOptions& options = {}) {
    const Outcome r = runTidyland({"clean", "--triangles", "--in-place", file}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(occurrences(readFile(file), "<F i="), 0u) << "not saved";
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

// Starts an in-place save of `name` in `dir` and, at its first write into its temporary file,
// calls `interrupt` with the child; returns how the child ended and the temporary file's name.
Outcome interruptAtFirstWrite(const TempDir& dir, const std::string& name, std::string& temporary,
                              const std::function<bool(pid_t)>& interrupt) {
    const int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, dir.path().c_str(), IN_CREATE | IN_MODIFY) < 0)
        throw std::runtime_error("cannot watch the folder");
    const Running child = startTidyland({"clean", "--triangles", "--in-place", dir.file(name)});
    bool done = false;
    while (!done) {
        pollfd ready{watch, POLLIN, 0};
        if (poll(&ready, 1, 300'000) != 1)
            break; // a guard against hanging, not a measurement
        alignas(inotify_event) char events[4096];
        const ssize_t n = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n && !done;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            const std::string entry = e->len ? e->name : "";
            if ((e->mask & IN_CREATE) && entry.rfind("." + name + ".tidy-", 0) == 0)
                temporary = entry;
            if ((e->mask & IN_MODIFY) && !temporary.empty() && entry == temporary)
                done = interrupt(child.pid);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    close(watch);
    if (!done) {
        temporary.clear();
        kill(child.pid, SIGKILL);
    }
    return waitFor(child);
}

// How the save is made to fail. Root writes into any folder, so as root tidyland runs as
// "nobody" in a folder of root's; a read-only mount refuses root as well; a file that takes more
// than half of a small file system leaves no room for the second copy; and where mounting is not
// allowed, the file size limit fails the write half way for every user.
enum class Fault { ReadOnlyFolder, FolderOfAnotherUser, ReadOnlyMount, FullMount, SizeLimit };

struct SaveFault {
    const char* name;
    Fault fault;
    size_t bytes;      // of the survey
    bool toNewFileToo; // with -o OUT in the same folder as well as in place
    const char* reason;
};

const SaveFault kSaveFaults[] = {
    {"ReadOnlyFolder", Fault::ReadOnlyFolder, 4096, false, "Permission denied"},
    {"FolderReadOnlyToAnotherUser", Fault::FolderOfAnotherUser, 4096, false, "Permission denied"},
    {"ReadOnlyFileSystem", Fault::ReadOnlyMount, 4096, false, "Read-only file system"},
    {"FullFileSystem", Fault::FullMount, 160 * 1024, true, "No space left on device"},
    {"FileSizeLimit", Fault::SizeLimit, 200 * 1024, true, "File too large"},
};

void PrintTo(const SaveFault& f, std::ostream* out) {
    *out << f.name;
}

class SaveFaultTest : public ::testing::TestWithParam<SaveFault> {};

} // namespace

TEST_P(SaveFaultTest, RefusedWithTheFileIntactAndNothingLeft) {
    const SaveFault& f = GetParam();
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "survey";
    std::optional<Tmpfs> tmpfs;
    if (f.fault == Fault::ReadOnlyMount || f.fault == Fault::FullMount) {
        tmpfs.emplace(folder, f.fault == Fault::FullMount ? "size=256k" : "size=1m");
        if (!tmpfs->mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here; FileSizeLimit fails the write instead";
    }
    std::filesystem::create_directories(folder);
    const std::string bytes = surveyOfSize(f.bytes);
    const std::string file = dir.write("survey/survey.xml", bytes);
    ChildOptions options;
    options.fileSizeLimit = f.fault == Fault::SizeLimit ? std::optional(64 * 1024ul) : std::nullopt;
    if (f.fault == Fault::ReadOnlyMount) {
        ASSERT_TRUE(tmpfs->makeReadOnly());
    }
    if (f.fault == Fault::ReadOnlyFolder) {
        chmod(folder.c_str(), 0555);
        if (access(folder.c_str(), W_OK) == 0)
            GTEST_SKIP() << "this user writes into read-only folders (root); see the other two";
    }
    if (f.fault == Fault::FolderOfAnotherUser) {
        if (const auto why = whyTidylandCannotRunAsNobody())
            GTEST_SKIP() << *why;
        chmod(dir.path().c_str(), 0755);
        chmod(folder.c_str(), 0755);
        chmod(file.c_str(), 0666); // the file may be written, its folder not
        options.asNobody = true;
    }
    const std::string before = snapshot(folder);
    for (const std::string& output : {std::string(), (folder / "out.xml").string()}) {
        if (!output.empty() && !f.toNewFileToo)
            continue;
        for (const auto& args : writingCommands(file, output)) {
            SCOPED_TRACE(commandLine(args));
            const Outcome r = runTidyland(args, options);
            expectRefusedAndKept(r, file, f.reason, folder, before);
            EXPECT_NE(r.err.find(": cannot save: "), std::string::npos) << r.err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFaultTest, ::testing::ValuesIn(kSaveFaults),
                         [](const auto& param) { return std::string(param.param.name); });

// Signals and a change of the file, each at the first write into the temporary file of a 50 MB
// in-place save. The signals that end a process remove the temporary file on their way out and
// still end it by that signal (Ctrl-C, kill, a closed terminal, Ctrl-\, ulimit -t, abort, a
// real-time signal); a file changed since it was read is not replaced. SIGKILL leaves no chance
// to clean up: the original must still be whole, the next save must work, and the partial
// temporary file is left where it is (nothing can prove it ours).
TEST(SaveFailureTest, InterruptedWhileWriting) {
    rlimit core{}; // SIGQUIT, SIGXCPU and SIGABRT would dump tidyland's memory
    getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &core), 0);
    TempDir dir;
    const std::string bytes = surveyOfSize(50 << 20);
    const std::string file = dir.write("big.xml", bytes);
    // Shorter than the file that is being read: the mapped rest of it is gone.
    const std::string changed = bytes.substr(0, 1 << 20) + "<!-- changed by another program -->\n";
    constexpr int kChangeTheFile = 0;
    for (const int signal :
         {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGABRT, SIGRTMIN, kChangeTheFile, SIGKILL}) {
        SCOPED_TRACE(signal ? strsignal(signal) : "the file changed");
        std::string temporary;
        const Outcome r = interruptAtFirstWrite(dir, "big.xml", temporary, [&](pid_t child) {
            if (signal == kChangeTheFile)
                writeFile(file, changed);
            return signal == kChangeTheFile || kill(child, signal) == 0;
        });
        ASSERT_FALSE(temporary.empty()) << "never saw tidyland write its temporary file";
        if (signal == kChangeTheFile) {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("big.xml: cannot save: the file was changed on disk after it "
                                 "was read"),
                      std::string::npos)
                << r.err;
            EXPECT_TRUE(readFile(file) == changed) << "the other program's change is lost";
            writeFile(file, bytes);
        } else {
            ASSERT_EQ(r.signal, signal) << "tidyland ended before the signal, status " << r.status;
            EXPECT_TRUE(readFile(file) == bytes) << "the original changed";
        }
        if (signal != SIGKILL) {
            EXPECT_EQ(dir.listing(), "big.xml");
            continue;
        }
        const std::string left = dir.listing();
        EXPECT_EQ(left, temporary + " big.xml");
        std::cout << "left behind by the kill: " << temporary << ", "
                  << std::filesystem::file_size(dir.path() / temporary) << " of about "
                  << bytes.size() * 9 / 10 << " bytes\n";

        expectCleaned(file);
        EXPECT_EQ(occurrences(readFile(file), "<F>"), occurrences(bytes, "<F>")) << "inside faces";
        EXPECT_EQ(dir.listing(), left) << "the next save leaves a stranger's file alone";
    }
}

namespace {

// A destination that is no file to replace, made in `dir`; "" where this user cannot make it.
struct RefusedDestination {
    const char* what;
    std::function<std::string(const TempDir&)> make;
    const char* reason;
    bool asNobody = false; // as root run as "nobody", who lacks root's permission; else as oneself
    bool inPlaceToo = false; // a regular file, refused as the file that is cleaned as well
};

std::string survey(const TempDir& dir, const std::string& name) {
    return dir.write(name, surveyOfSize(4096));
}

// A node of `type` at "node" in the folder, or "" where this user cannot make it (a device).
std::function<std::string(const TempDir&)> nodeOf(mode_t type, dev_t device = 0) {
    return [=](const TempDir& d) {
        return mknod(d.file("node").c_str(), type | 0666, device) == 0 ? d.file("node") : "";
    };
}

// A symbolic link "link" to `target` in the folder, and the destination `below` it.
std::function<std::string(const TempDir&)> linkTo(std::string target, std::string below = "") {
    return [=](const TempDir& d) {
        std::filesystem::create_symlink(target, d.path() / "link");
        return d.file("link" + below);
    };
}

const RefusedDestination kRefusedDestinations[] = {
    {"standard output, appended to a log", [](const TempDir&) { return "/dev/stdout"; },
     "\"/dev/stdout\" is a device or system path, not a regular file"},
    {"a descriptor in /proc", [](const TempDir&) { return "/proc/self/fd/1"; },
     "is a device or system path"},
    {"a device in /dev", [](const TempDir&) { return "/dev/null"; }, "is a device or system path"},
    {"a link to standard output", linkTo("/dev/stdout"),
     "\"/dev/stdout\" is a device or system path"},
    {"a name in a folder linked to /dev", linkTo("/dev", "/null"), "is a device or system path"},
    {"a device node outside /dev", nodeOf(S_IFCHR, makedev(1, 3)),
     "a device is not a file to replace"},
    {"a FIFO", nodeOf(S_IFIFO), "a FIFO is not a file to replace"},
    {"a socket", nodeOf(S_IFSOCK), "a socket is not a file to replace"},
    {"a folder",
     [](const TempDir& d) {
         std::filesystem::create_directory(d.path() / "folder");
         return d.file("folder");
     },
     "a folder is not a file to replace"},
    {"a file with a second name",
     [](const TempDir& d) {
         const std::string out = survey(d, "out.xml");
         std::filesystem::create_hard_link(out, d.path() / "second-name.xml");
         return out;
     },
     "the file has 2 names (hard links)", false, true},
    {"the user's own file made read-only",
     [](const TempDir& d) {
         const std::string out = survey(d, "out.xml");
         if (geteuid() == 0 && chown(out.c_str(), kNobody, kNobody) != 0)
             return std::string();
         return chmod(out.c_str(), 0444) == 0 ? out : "";
     },
     "permission denied", true, true},
    {"root's file in a folder everyone may write",
     [](const TempDir& d) { return geteuid() == 0 ? survey(d, "out.xml") : ""; },
     "permission denied", true, true},
};

} // namespace

TEST(SaveFailureTest, DestinationsThatAreNoFileToReplace) {
    const bool nobody = !whyTidylandCannotRunAsNobody();
    for (const RefusedDestination& c : kRefusedDestinations) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        chmod(dir.path().c_str(), 0777);
        const std::string file = survey(dir, "survey.xml");
        const std::string log = dir.write("log.txt", "the log of earlier runs\n");
        chown(log.c_str(), kNobody, kNobody);
        const std::string destination = c.make(dir);
        if (destination.empty())
            continue; // a device node needs root
        const std::string before = snapshot(dir.path());
        auto commands = writingCommands(file, destination);
        // The picture is written the same way; it needs a survey with points to draw.
        commands.push_back({"render", "-o", destination, samplePath("sample.xml")});
        if (c.inPlaceToo) {
            const auto inPlace = writingCommands(destination);
            commands.insert(commands.end(), inPlace.begin(), inPlace.end());
        }
        for (const auto& args : commands) {
            SCOPED_TRACE(commandLine(args));
            const Outcome r =
                runTidyland(args, ChildOptions{c.asNobody && nobody, {}, {}, {}, log});
            expectRefusedAndKept(r, args.back(), c.reason, dir.path(), before);
            EXPECT_NE(r.err.find(destination + ": "), std::string::npos) << r.err;
        }
    }
}

namespace {

// Owner, group, permissions, extended attributes, ACL and inode flags of a file, as text to
// compare.
std::string whatTheFileCarries(const std::string& file, bool withOwner = true) {
    struct stat st {};
    stat(file.c_str(), &st);
    std::string s = (withOwner ? std::to_string(st.st_uid) : "-") + ":" +
                    std::to_string(st.st_gid) + " " + std::to_string(st.st_mode & 07777) + "\n";
    std::array<char, 4096> names{}, value{};
    const ssize_t n = listxattr(file.c_str(), names.data(), names.size());
    std::set<std::string> attributes; // in no particular order from the system
    for (ssize_t at = 0; at < n; at += ssize_t(std::strlen(names.data() + at)) + 1) {
        const ssize_t size = getxattr(file.c_str(), names.data() + at, value.data(), value.size());
        attributes.insert(std::string(names.data() + at) + "=" +
                          std::string(value.data(), size_t(std::max<ssize_t>(size, 0))));
    }
    for (const std::string& a : attributes)
        s += a + "\n";
    int flags = 0; // of chattr, where the file system has them
    if (const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK); fd >= 0) {
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0)
            s += "flags " + std::to_string(flags) + "\n";
        close(fd);
    }
    return s;
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

// A file with an ACL, a user attribute and chattr's flags keeps them, and one without an ACL, saved
// through a link to it, does not take the folder's default ACL; a member of the file's group, who
// cannot keep the owner, keeps the group.
TEST(SaveFailureTest, KeepsWhatTheReplacedFileCarries) {
    const bool nobody = !whyTidylandCannotRunAsNobody(); // else the owner cannot be changed
    if (!run("command -v setfacl"))
        GTEST_SKIP() << "setfacl is missing (scripts/deps.sh installs the package acl)";
    TempDir dir;
    chmod(dir.path().c_str(), 0777);
    const std::string withAcl = survey(dir, "with-acl.xml");
    survey(dir, "plain.xml");
    const std::string team = survey(dir, "team.xml");
    ASSERT_TRUE(!nobody || chown(withAcl.c_str(), kNobody, 50) == 0);
    ASSERT_EQ(chmod(withAcl.c_str(), 0640), 0);
    ASSERT_EQ(setxattr(withAcl.c_str(), "user.origin", "field book 7", 12, 0), 0);
    ASSERT_TRUE(run("setfacl -m u:1234:rw,g:50:r " + withAcl));
    ASSERT_TRUE(run("setfacl -d -m u:1234:rwx " + dir.path().string()));
    run("chattr +dAcsuS " + withAcl); // where the file system has them
    ASSERT_TRUE(!nobody || chown(team.c_str(), 0, 50) == 0);
    ASSERT_EQ(chmod(team.c_str(), 0664), 0);
    std::filesystem::create_symlink("plain.xml", dir.path() / "link.xml");

    const struct {
        std::string file;
        bool asNobody;
    } cases[] = {{withAcl, false}, {dir.file("link.xml"), false}, {team, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.asNobody && !nobody)
            continue;
        const std::string before = whatTheFileCarries(c.file, !c.asNobody);
        expectCleaned(c.file, ChildOptions{c.asNobody, {}, {50}});
        EXPECT_EQ(whatTheFileCarries(c.file, !c.asNobody), before);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.xml"))
        << "the link's target is saved";
}

// The temporary name of a file whose name nearly fills the 255 bytes a name may have is cut
// short, never inside a character.
TEST(SaveFailureTest, NamesAtTheLengthLimit) {
    std::string twoByteCharacters;
    while (twoByteCharacters.size() < 250)
        twoByteCharacters += "\xC3\xA9";
    for (const std::string& name : {std::string(240, 'a') + ".xml", std::string(251, 'b') + ".xml",
                                    twoByteCharacters + ".xml"}) {
        SCOPED_TRACE(name.size());
        TempDir dir;
        const std::string file = survey(dir, name);
        expectCleaned(file);
        EXPECT_EQ(dir.listing(), name);
    }
}
