// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX implementation: mkostemp, fsync and rename(2), with the extended attributes of Linux.
#include "core/platform/AtomicFile.h"

#include "core/landxml/Error.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/xattr.h>
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif
#include <unistd.h>
#include <vector>

namespace tidy {

namespace {

namespace fs = std::filesystem;

std::string systemError(int err) {
    return std::strerror(err);
}

FileStamp stampOf(const struct stat& st) {
    return {true,
            std::uint64_t(st.st_dev),
            std::uint64_t(st.st_ino),
            std::int64_t(st.st_size),
            std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec};
}

// Whether `path` lies in a tree of devices and kernel files, where no document belongs: a name
// there, such as /dev/stdout, is a door to something else.
bool inSystemTree(const fs::path& path) {
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(path, ec).parent_path(), ec);
    const std::string f = folder.string();
    for (const char* tree : {"/dev", "/proc", "/sys"}) {
        const size_t n = std::strlen(tree);
        if (f.compare(0, n, tree) == 0 && (f.size() == n || f[n] == '/'))
            return true;
    }
    return false;
}

// Follows a chain of symbolic links to the file they finally name (which may not exist yet),
// refusing a chain that passes through a system tree.
fs::path resolveLinks(const std::string& destination) {
    fs::path p(destination);
    for (int hops = 0; hops < 40; ++hops) {
        if (inSystemTree(p))
            throw Error(destination + ": cannot save: \"" + p.string() +
                        "\" is a device or system path, not a regular file");
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        fs::path target = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    throw Error(destination + ": cannot save: too many levels of symbolic links");
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

// ".NAME.tidy-XXXXXX" in `folder`, with NAME cut short where the whole would not fit in a name.
std::string temporaryName(const fs::path& folder, const std::string& name) {
    constexpr size_t kNameMax = 255;
    const std::string suffix = ".tidy-XXXXXX";
    std::string kept = name;
    if (1 + kept.size() + suffix.size() > kNameMax) {
        size_t cut = kNameMax - 1 - suffix.size();
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 character
        kept.resize(cut);
    }
    return (folder / ("." + kept + suffix)).string();
}

// The temporary file of the save in progress, for the handlers of the signals that end a
// process; one save at a time is covered.
std::atomic<const char*> gTemporary{nullptr};

extern "C" void removeTemporaryAndEnd(int signal) {
    if (const char* tmp = gTemporary.load())
        ::unlink(tmp);
    ::raise(signal); // SA_RESETHAND restored the default action: the process ends as it would
}

// The signals whose default action ends the process and that come from outside the program: a
// user (Ctrl-C, Ctrl-\, kill), the terminal, a CPU time limit, a timer, a closed pipe, a power
// failure, another program's SIGUSR1 or real-time signal. SIGABRT too, which the runtime raises
// when it gives up (std::terminate). A fault of the program itself (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP, SIGSYS) keeps its default: its state is not to be trusted then, and the
// temporary file stays behind as after a kill. SIGXFSZ is held back instead (below).
std::vector<int> endingSignals() {
    std::vector<int> signals = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGABRT, SIGPIPE,
                                SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGPROF, SIGVTALRM};
#if defined(__linux__) // elsewhere SIGIO is ignored by default, and the others do not exist
    signals.insert(signals.end(), {SIGIO, SIGPWR, SIGSTKFLT});
#endif
#if defined(SIGRTMIN)
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
        signals.push_back(s);
#endif
    return signals;
}

// While it lives, the signals above remove the temporary file before they end the process; a
// signal the program handles or ignores itself is left to it. SIGXFSZ is held back, so that a
// write beyond the file size limit fails with EFBIG rather than ending the process.
class SignalGuard {
public:
    explicit SignalGuard(const char* tmp) {
        const char* none = nullptr;
        claimed_ = gTemporary.compare_exchange_strong(none, tmp);
        static const std::vector<int> signals = endingSignals();
        struct sigaction remove {};
        remove.sa_handler = removeTemporaryAndEnd;
        remove.sa_flags = SA_RESETHAND;
        sigemptyset(&remove.sa_mask);
        for (const int s : signals)
            sigaddset(&remove.sa_mask, s); // one handler at a time
        for (size_t i = 0; claimed_ && i < signals.size(); ++i) {
            struct sigaction old {};
            if (::sigaction(signals[i], nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
                old.sa_handler == SIG_DFL && ::sigaction(signals[i], &remove, nullptr) == 0)
                installed_.push_back(signals[i]);
        }
        sigset_t fileSize;
        sigemptyset(&fileSize);
        sigaddset(&fileSize, SIGXFSZ);
        ::pthread_sigmask(SIG_BLOCK, &fileSize, &previousMask_);
    }
    ~SignalGuard() {
        if (!sigismember(&previousMask_, SIGXFSZ)) {
            sigset_t fileSize;
            sigemptyset(&fileSize);
            sigaddset(&fileSize, SIGXFSZ);
            const timespec now{0, 0};
            while (::sigtimedwait(&fileSize, nullptr, &now) == SIGXFSZ) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        for (const int s : installed_)
            ::signal(s, SIG_DFL);
        if (claimed_)
            gTemporary.store(nullptr);
    }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

private:
    bool claimed_ = false;
    std::vector<int> installed_;
    sigset_t previousMask_{};
};

std::vector<char> extendedAttribute(const char* path, const char* name, int& err) {
    std::vector<char> value;
    for (;;) {
        const ssize_t n = ::getxattr(path, name, nullptr, 0);
        if (n >= 0) {
            value.resize(size_t(n));
            const ssize_t got = ::getxattr(path, name, value.data(), value.size());
            if (got >= 0) {
                value.resize(size_t(got));
                return value;
            }
        }
        if (errno != ERANGE) {
            err = errno;
            return {};
        }
    }
}

// Copies the extended attributes of `from`, its POSIX ACLs among them, onto `fd`. Those of the
// security and trusted namespaces need privileges; they are kept where the user holds them.
// Returns the name that failed and the error, or an empty name.
std::pair<std::string, int> copyExtendedAttributes(const char* from, int fd) {
    ssize_t size = ::listxattr(from, nullptr, 0);
    std::vector<char> names(size > 0 ? size_t(size) : 0);
    if (size > 0)
        size = ::listxattr(from, names.data(), names.size());
    if (size < 0)
        return errno == ENOTSUP ? std::pair<std::string, int>{} : std::pair{"", errno};
    bool hasAcl = false;
    for (const char* name = names.data(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        int err = 0;
        const std::vector<char> value = extendedAttribute(from, name, err);
        if (err == 0 && ::fsetxattr(fd, name, value.data(), value.size(), 0) != 0)
            err = errno;
        const bool privileged =
            std::strncmp(name, "security.", 9) == 0 || std::strncmp(name, "trusted.", 8) == 0;
        if (err != 0 && !(privileged && (err == EPERM || err == ENOTSUP || err == EACCES)))
            return {name, err};
        hasAcl = hasAcl || std::strcmp(name, "system.posix_acl_access") == 0;
    }
    // The temporary file may have taken the folder's default ACL, which the file did not have.
    if (!hasAcl)
        ::fremovexattr(fd, "system.posix_acl_access");
    return {};
}

// Copies the inode flags of chattr(1) that say how the file is to be kept from `from` onto the
// still empty `fd` (compression and no copy-on-write act only on what is written after): s, u,
// c, S, d, A, t, C, m and j. Not i and a, which would have refused the replacement and need
// privileges; not those the file system sets itself (e, I, N, E, V...); not D, T and P, which
// concern folders. j needs privileges and is kept where the user holds them. A file system
// without flags, or without one of them, saves without.
void copyInodeFlags([[maybe_unused]] const char* from, [[maybe_unused]] int fd) {
#if defined(__linux__)
    constexpr int kKept = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
                          FS_NOATIME_FL | FS_NOTAIL_FL | FS_NOCOW_FL | FS_NOCOMP_FL |
                          FS_JOURNAL_DATA_FL;
    const int source = ::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source < 0)
        return;
    int flags = 0, now = 0;
    const bool known = ::ioctl(source, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(source);
    if (!known || ::ioctl(fd, FS_IOC_GETFLAGS, &now) != 0)
        return;
    // The temporary file may have taken flags from the folder that the file did not have.
    int wanted = (now & ~kKept) | (flags & kKept);
    if (wanted != now && ::ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0 &&
        (wanted & FS_JOURNAL_DATA_FL)) {
        wanted &= ~FS_JOURNAL_DATA_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &wanted);
    }
#endif
}

} // namespace

FileStamp stampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? stampOf(st) : FileStamp{};
}

struct AtomicFile::Impl {
    static constexpr size_t kSize = 1 << 20, kDirect = 256 << 10;
    static constexpr off_t kWriteBackStep = 8 << 20;

    std::string destination;
    fs::path target;
    std::string tmp;
    FileStamp expected; // what the destination must still be when the file is put in place
    int fd = -1;
    bool tmpExists = false; // removed on every way out but a successful commit
    std::unique_ptr<SignalGuard> signals;
    int failed = 0;
    off_t written = 0;
    off_t handedOver = 0;
    std::string buf;

    [[noreturn]] void refuse(const std::string& why) const {
        throw Error(destination + ": cannot save: " + why);
    }
    [[noreturn]] void fail(const std::string& what, int err) {
        ::close(fd);
        fd = -1;
        ::unlink(tmp.c_str());
        tmpExists = false;
        refuse(what + ": " + systemError(err));
    }

    void checkDestination(const struct stat& st) const;
    void createTemporary();
    void keepWhatTheFileCarries(const struct stat& st);
    void writeAll(const char* p, size_t n);
    void flush() {
        writeAll(buf.data(), buf.size());
        buf.clear();
    }
};

void AtomicFile::Impl::checkDestination(const struct stat& st) const {
    if (!S_ISREG(st.st_mode))
        refuse(std::string(kindOf(st.st_mode)) + " is not a file to replace");
    // The rename needs only the folder's permission; the file's own must be asked for.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM))
        throw Error(destination + ": permission denied");
    if (st.st_nlink > 1)
        refuse("the file has " + std::to_string(st.st_nlink) +
               " names (hard links); replacing it would leave the others with the old content, "
               "so it is left as it is: save under a new name");
}

void AtomicFile::Impl::createTemporary() {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    tmp = temporaryName(folder, target.filename().string());
    // Handed to the handlers before mkostemp fills in the name, so that no moment is uncovered.
    signals = std::make_unique<SignalGuard>(tmp.c_str());
    fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        refuse("cannot create a file in \"" + folder.string() + "\": " + systemError(errno));
    tmpExists = true;
}

// Owner, group, ACLs and other extended attributes, inode flags, then permissions, which a change
// of owner may have cut and which the ACL's mask must agree with.
void AtomicFile::Impl::keepWhatTheFileCarries(const struct stat& st) {
    // Keeping the owner needs privileges; a member of the file's group keeps at least that.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
    }
    const auto [name, err] = copyExtendedAttributes(target.c_str(), fd);
    if (err != 0)
        fail(name.empty() ? "cannot read the file's extended attributes"
                          : "cannot keep the file's extended attribute " + quotedText(name),
             err);
    copyInodeFlags(target.c_str(), fd);
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        fail("cannot keep the file's permissions", errno);
}

void AtomicFile::Impl::writeAll(const char* p, size_t n) {
    while (n > 0 && !failed) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0) {
            failed = errno;
            return;
        }
        p += w;
        n -= size_t(w);
        written += w;
    }
#if defined(__linux__)
    // Hand what is written to the disk every few megabytes, so that the fsync at the end
    // waits for the last stretch rather than for the whole file. Its errors show there.
    if (written - handedOver >= kWriteBackStep) {
        ::sync_file_range(fd, handedOver, written - handedOver, SYNC_FILE_RANGE_WRITE);
        handedOver = written;
    }
#endif
}

AtomicFile::AtomicFile(const std::string& destination, const Source& source)
    : impl_(std::make_unique<Impl>()) {
    Impl& f = *impl_;
    f.destination = destination;
    f.target = resolveLinks(destination);
    struct stat st {};
    const bool exists = ::stat(f.target.c_str(), &st) == 0;
    if (exists)
        f.checkDestination(st);
    f.expected = exists ? stampOf(st) : FileStamp{};
    // The file the content was read from must still be the version that was read, even where
    // another program has since put a new file, or none, under its name.
    const bool sameFile = f.expected.exists && f.expected.device == source.stamp.device &&
                          f.expected.inode == source.stamp.inode;
    std::error_code ec, sourceEc;
    const fs::path name = fs::weakly_canonical(f.target, ec);
    const bool sameName = !ec && name == fs::weakly_canonical(source.path, sourceEc) && !sourceEc;
    if (source.stamp.exists && (sameFile || sameName))
        f.expected = source.stamp;
    f.createTemporary();
    f.buf.reserve(Impl::kSize);
    if (exists) {
        f.keepWhatTheFileCarries(st);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(f.fd, 0666 & ~mask) != 0)
            f.fail("cannot set the file's permissions", errno);
    }
}

AtomicFile::~AtomicFile() {
    if (impl_->fd >= 0)
        ::close(impl_->fd);
    if (impl_->tmpExists)
        ::unlink(impl_->tmp.c_str());
}

void AtomicFile::write(const void* data, size_t size) {
    Impl& f = *impl_;
    if (f.failed)
        return;
    // A large piece, such as a stretch of the source that the save copies as it stands, goes
    // out from where it is: through the buffer it would only be copied once more.
    const bool direct = size >= Impl::kDirect;
    if (direct || f.buf.size() + size > Impl::kSize)
        f.flush();
    if (direct)
        f.writeAll(static_cast<const char*>(data), size);
    else
        f.buf.append(static_cast<const char*>(data), size);
}

void AtomicFile::commit() {
    Impl& f = *impl_;
    f.flush();
    if (f.failed)
        f.fail("cannot write \"" + f.tmp + "\"", f.failed);
    if (::fsync(f.fd) != 0)
        f.fail("cannot write \"" + f.tmp + "\"", errno);
    const int closed = ::close(f.fd);
    f.fd = -1;
    if (closed != 0)
        f.refuse(systemError(errno));
    if (stampOf(f.target.string()) != f.expected)
        f.refuse("the file was changed on disk after it was read; it is left as it is: "
                 "load it again and repeat the work");
    if (::rename(f.tmp.c_str(), f.target.c_str()) != 0)
        f.refuse("cannot replace the file: " + systemError(errno));
    f.tmpExists = false;
}

} // namespace tidy
