// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX implementation: mkostemp, fsync and rename(2).
#include "landxml/AtomicFile.h"

#include "landxml/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tidy {

namespace {

std::string systemError(int err) {
    return std::strerror(err);
}

// Follows a chain of symbolic links to the file they finally name (which may not exist yet).
std::filesystem::path resolveLinks(std::filesystem::path p) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(p, ec)))
            return p;
        fs::path target = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

} // namespace

struct AtomicFile::Impl {
    static constexpr size_t kSize = 1 << 20;
    static constexpr off_t kWriteBackStep = 8 << 20;

    std::string destination;
    std::filesystem::path target;
    std::string tmp;
    int fd = -1;
    bool tmpExists = false; // removed on every way out but a successful commit
    int failed = 0;
    off_t written = 0;
    off_t handedOver = 0;
    std::string buf;

    [[noreturn]] void fail(const std::string& what, int err) {
        ::close(fd);
        fd = -1;
        ::unlink(tmp.c_str());
        tmpExists = false;
        throw Error(destination + ": cannot save: " + what + ": " + systemError(err));
    }

    void writeAll(const char* p, size_t n) {
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
    void flush() {
        writeAll(buf.data(), buf.size());
        buf.clear();
    }
};

AtomicFile::AtomicFile(const std::string& destination) : impl_(std::make_unique<Impl>()) {
    namespace fs = std::filesystem;
    Impl& f = *impl_;
    f.destination = destination;
    f.buf.reserve(Impl::kSize);
    f.target = resolveLinks(fs::path(destination));
    fs::path folder = f.target.parent_path().empty() ? fs::path(".") : f.target.parent_path();
    f.tmp = (folder / ("." + f.target.filename().string() + ".tidy-XXXXXX")).string();

    f.fd = ::mkostemp(f.tmp.data(), O_CLOEXEC);
    if (f.fd < 0)
        throw Error(destination + ": cannot save: cannot create a file in \"" + folder.string() +
                    "\": " + systemError(errno));
    f.tmpExists = true;

    struct stat st {};
    if (::stat(f.target.c_str(), &st) == 0) {
        if (::fchmod(f.fd, st.st_mode & 07777) != 0)
            f.fail("cannot keep the file's permissions", errno);
        // Keeping the owner needs privileges we may not have; the permissions are what matter.
        if (::fchown(f.fd, st.st_uid, st.st_gid) != 0) {
        }
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
    if (f.buf.size() + size > Impl::kSize)
        f.flush();
    if (size >= Impl::kSize)
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
        throw Error(f.destination + ": cannot save: " + systemError(errno));
    if (::rename(f.tmp.c_str(), f.target.c_str()) != 0)
        throw Error(f.destination +
                    ": cannot save: cannot replace the file: " + systemError(errno));
    f.tmpExists = false;
}

} // namespace tidy
