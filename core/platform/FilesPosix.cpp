// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Files.h"

#include "core/landxml/Error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
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

// The view being read, for the bus error handler: a read of a mapped page past the file's end
// (another program shortened it) or on a failing disk raises SIGBUS, which would end the program
// in the middle of a save. The handler maps zeros over the rest of the view instead and notes it;
// the save then refuses. One view at a time is enough: a save reads one.
std::atomic<char*> viewStart{nullptr};
std::atomic<std::size_t> viewSize{0};
std::atomic<bool> viewBroken{false};
std::size_t pageSize = 4096;
struct sigaction previousBusAction {};

void onBusError(int signal, siginfo_t* info, void* context) {
    char* start = viewStart.load();
    const auto at = static_cast<char*>(info->si_addr);
    const std::size_t size = viewSize.load();
    if (start && at >= start && at < start + size) {
        char* page = start + ((at - start) & ~(pageSize - 1));
        const std::size_t rest = start + size - page;
        // mmap is a plain system call, safe here in practice though POSIX does not list it.
        if (::mmap(page, rest, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            viewBroken = true;
            return;
        }
    }
    // Not ours: what would have happened without this handler happens.
    if (previousBusAction.sa_flags & SA_SIGINFO)
        return previousBusAction.sa_sigaction(signal, info, context);
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
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
    populateFrom(0);
    pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    viewBroken = false;
    viewSize = size_;
    viewStart = static_cast<char*>(at);
    struct sigaction onBus {};
    onBus.sa_sigaction = onBusError;
    onBus.sa_flags = SA_SIGINFO;
    sigemptyset(&onBus.sa_mask);
    ::sigaction(SIGBUS, &onBus, &previousBusAction);
}

FileView::~FileView() {
    if (!data_)
        return;
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
    viewStart = nullptr;
    ::munmap(const_cast<char*>(data_), size_);
}

bool FileView::intact() const {
    return !data_ || !viewBroken;
}

void FileView::doneBefore(std::size_t offset) {
    // In steps of a quarter megabyte: each costs a system call.
    constexpr std::size_t kStep = std::size_t(256) << 10;
    offset = std::min(offset, size_) & ~(kStep - 1);
    if (!data_ || offset <= released_)
        return;
    ::madvise(const_cast<char*>(data_) + released_, offset - released_, MADV_DONTNEED);
    released_ = offset;
    populateFrom(offset);
}

// Maps the next half megabyte in one call: a fault per 64 KiB cost a 100 MB save some 60 ms of
// system time. Failing (an older kernel, a file cut short) costs nothing: the reads still fault.
void FileView::populateFrom([[maybe_unused]] std::size_t offset) {
#ifdef MADV_POPULATE_READ
    constexpr std::size_t kAhead = std::size_t(512) << 10;
    const std::size_t end = std::min(size_, offset + kAhead);
    if (offset < end)
        ::madvise(const_cast<char*>(data_) + offset, end - offset, MADV_POPULATE_READ);
#endif
}

} // namespace tidy::platform
