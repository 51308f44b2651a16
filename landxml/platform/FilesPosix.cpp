// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/platform/Files.h"

#include "landxml/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tidy::platform {

namespace {

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t readUpTo(const std::string& path, int fd, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Error(path + ": cannot read the file: " + std::strerror(errno));
        if (n == 0)
            break; // shrank while we read; take what is there
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

std::size_t readWholeFile(const std::string& path,
                          const std::function<void(std::string_view start)>& lookAtStart,
                          const std::function<char*(std::size_t size)>& allocate) {
    FileDescriptor f;
    // Not blocking: a FIFO put in the file's place must not hang the open.
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f.fd < 0)
        throw Error(path + ": cannot open the file: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        throw Error(path + ": cannot read the file: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw Error(path + ": not a regular file");
    const auto size = static_cast<std::size_t>(st.st_size);
    std::string start(std::min(size, kFileStart), '\0');
    start.resize(readUpTo(path, f.fd, start.data(), start.size()));
    lookAtStart(start);
    char* data = allocate(size);
    std::memcpy(data, start.data(), start.size());
    return start.size() + readUpTo(path, f.fd, data + start.size(), size - start.size());
}

FileView::FileView(const std::string& path) {
    FileDescriptor f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0)
        throw Error(path + ": cannot open the file: " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw Error(path + ": not a regular file");
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ == 0)
        return;
    void* at = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, f.fd, 0);
    if (at == MAP_FAILED)
        throw Error(path + ": cannot read the file: " + std::strerror(errno));
    ::madvise(at, size_, MADV_SEQUENTIAL);
    data_ = static_cast<const char*>(at);
}

FileView::~FileView() {
    if (data_)
        ::munmap(const_cast<char*>(data_), size_);
}

void FileView::doneBefore(std::size_t offset) {
    // In steps of a quarter megabyte: each costs a system call.
    constexpr std::size_t kStep = std::size_t(256) << 10;
    offset = std::min(offset, size_) & ~(kStep - 1);
    if (!data_ || offset <= released_)
        return;
    ::madvise(const_cast<char*>(data_) + released_, offset - released_, MADV_DONTNEED);
    released_ = offset;
}

} // namespace tidy::platform
