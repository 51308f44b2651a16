// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Files.h"

#include "core/landxml/Error.h"
#include "core/platform/Windows.h"

#include <algorithm>
#include <cstring>
#include <windows.h>

namespace tidy::platform {

namespace {

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    }
};

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t readUpTo(const std::string& path, HANDLE h, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        // ReadFile counts in 32 bits.
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h, data + done, chunk, &n, nullptr))
            throw Error(path + ": cannot read the file: " + windowsErrorText(::GetLastError()));
        if (n == 0)
            break; // shrank while we read; take what is there
        done += n;
    }
    return done;
}

// Opens the regular file at `path` for reading and returns its size. Others may go on reading,
// writing, renaming or deleting it, as they may on POSIX.
std::size_t openForReading(const std::string& path, Handle& f) {
    f.h = ::CreateFileW(pathFromUtf8(path).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f.h == INVALID_HANDLE_VALUE)
        throw Error(path + ": cannot open the file: " + windowsErrorText(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(f.h, &info))
        throw Error(path + ": cannot read the file: " + windowsErrorText(::GetLastError()));
    if (::GetFileType(f.h) != FILE_TYPE_DISK || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error(path + ": not a regular file");
    return (static_cast<std::size_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

} // namespace

std::size_t readWholeFile(const std::string& path,
                          const std::function<void(std::string_view start)>& lookAtStart,
                          const std::function<char*(std::size_t size)>& allocate) {
    Handle f;
    const std::size_t size = openForReading(path, f);
    std::string start(std::min(size, kFileStart), '\0');
    start.resize(readUpTo(path, f.h, start.data(), start.size()));
    lookAtStart(start);
    char* data = allocate(size);
    std::memcpy(data, start.data(), start.size());
    return start.size() + readUpTo(path, f.h, data + start.size(), size - start.size());
}

FileView::FileView(const std::string& path) {
    Handle f;
    size_ = openForReading(path, f);
    if (size_ == 0)
        return;
    handle_ = ::CreateFileMappingW(f.h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!handle_)
        throw Error(path + ": cannot read the file: " + windowsErrorText(::GetLastError()));
    data_ = static_cast<const char*>(::MapViewOfFile(handle_, FILE_MAP_READ, 0, 0, 0));
    if (!data_) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle_);
        throw Error(path + ": cannot read the file: " + windowsErrorText(error));
    }
}

FileView::~FileView() {
    if (data_)
        ::UnmapViewOfFile(data_);
    if (handle_)
        ::CloseHandle(handle_);
}

// A mapped file cannot be shortened; a failed disk raises an exception that ends the program.
bool FileView::intact() const {
    return true;
}

// The system trims the pages of a file view from the working set by itself.
void FileView::doneBefore(std::size_t offset) {
    released_ = std::max(released_, offset);
}

} // namespace tidy::platform
