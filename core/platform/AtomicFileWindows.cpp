// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows implementation: a new file beside the destination, FlushFileBuffers, then
// ReplaceFileW, which gives the new file the replaced one's ACL and attributes; a destination
// that does not exist yet is created by MoveFileExW, with the folder's inherited ACL.
#include "core/platform/AtomicFile.h"

#include "core/landxml/Error.h"
#include "core/platform/Files.h"
#include "core/platform/Windows.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <windows.h>

namespace tidy {

namespace {

using platform::utf8FromPath;
using platform::windowsErrorText;

// A symbolic link or junction is replaced in its final target, so that the link stays; any other
// destination is taken as it is named.
std::filesystem::path resolveLinks(const std::filesystem::path& p) {
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return p;
    HANDLE h = ::CreateFileW(p.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return p;
    std::wstring target(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(h, target.data(), DWORD(target.size()), 0);
    if (n >= target.size()) {
        target.resize(n);
        n = ::GetFinalPathNameByHandleW(h, target.data(), DWORD(target.size()), 0);
    }
    ::CloseHandle(h);
    if (n == 0 || n >= target.size())
        return p;
    target.resize(n);
    return target;
}

std::int64_t nanoseconds(const FILETIME& t) {
    return std::int64_t((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
}

} // namespace

FileStamp stampOf(const std::string& path) {
    HANDLE h = ::CreateFileW(platform::pathFromUtf8(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    if (!known)
        return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = std::int64_t((std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    stamp.modified = nanoseconds(info.ftLastWriteTime);
    // Windows keeps no inode change time here; identity, size and the write time tell versions
    // apart.
    return stamp;
}

struct AtomicFile::Impl {
    std::string destination;
    std::filesystem::path target;
    std::filesystem::path tmp;
    FileStamp expected; // what the destination must still be when the file is put in place
    HANDLE h = INVALID_HANDLE_VALUE;
    bool tmpExists = false; // removed on every way out but a successful commit
    DWORD failed = 0;

    void close() {
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }

    [[noreturn]] void fail(const std::string& what, DWORD err) {
        close();
        ::DeleteFileW(tmp.c_str());
        tmpExists = false;
        throw Error(destination + ": cannot save: " + what + ": " + windowsErrorText(err));
    }

    void writeAll(const char* p, size_t n) {
        while (n > 0 && !failed) {
            // WriteFile counts in 32 bits.
            const auto chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
            DWORD w = 0;
            if (!::WriteFile(h, p, chunk, &w, nullptr)) {
                failed = ::GetLastError();
                return;
            }
            p += w;
            n -= w;
        }
    }
};

AtomicFile::AtomicFile(const std::string& destination, const Source& source)
    : impl_(std::make_unique<Impl>()) {
    namespace fs = std::filesystem;
    Impl& f = *impl_;
    f.destination = destination;
    // Absolute, as ReplaceFileW does not take every relative form (Wine's refuses "name.xml").
    std::error_code ec;
    f.target = resolveLinks(fs::absolute(platform::pathFromUtf8(destination), ec));
    if (ec)
        throw Error(destination + ": cannot save: " + ec.message());
    // The file the content was read from must still be the version that was read.
    f.expected = stampOf(utf8FromPath(f.target));
    const bool sameFile = f.expected.exists && f.expected.device == source.stamp.device &&
                          f.expected.inode == source.stamp.inode;
    const fs::path name = fs::weakly_canonical(f.target, ec);
    std::error_code sourceEc;
    const bool sameName =
        !ec && name == fs::weakly_canonical(platform::pathFromUtf8(source.path), sourceEc) &&
        !sourceEc;
    if (source.stamp.exists && (sameFile || sameName))
        f.expected = source.stamp;
    const fs::path folder = f.target.parent_path();
    // Windows has no mkstemp: random names until one is new; CREATE_NEW refuses any other.
    std::random_device random;
    DWORD err = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && f.h == INVALID_HANDLE_VALUE; ++attempt) {
        f.tmp = folder / (L"." + f.target.filename().wstring() + L".tidy-" +
                          std::to_wstring(random() % 1000000));
        f.h = ::CreateFileW(f.tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        err = ::GetLastError();
        if (f.h == INVALID_HANDLE_VALUE && err != ERROR_FILE_EXISTS)
            break;
    }
    if (f.h == INVALID_HANDLE_VALUE)
        throw Error(destination + ": cannot save: cannot create a file in \"" +
                    utf8FromPath(folder) + "\": " + windowsErrorText(err));
    f.tmpExists = true;
}

AtomicFile::~AtomicFile() {
    impl_->close();
    if (impl_->tmpExists)
        ::DeleteFileW(impl_->tmp.c_str());
}

// pugixml hands over its output in buffers of some kilobytes already, which WriteFile takes
// as they come.
void AtomicFile::write(const void* data, size_t size) {
    impl_->writeAll(static_cast<const char*>(data), size);
}

void AtomicFile::commit() {
    Impl& f = *impl_;
    if (f.failed)
        f.fail("cannot write \"" + utf8FromPath(f.tmp) + "\"", f.failed);
    if (!::FlushFileBuffers(f.h))
        f.fail("cannot write \"" + utf8FromPath(f.tmp) + "\"", ::GetLastError());
    f.close();
    const DWORD attributes = ::GetFileAttributesW(f.target.c_str());
    // ReplaceFileW would take a folder for a file and leave a file of its own behind.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        f.fail("cannot replace the file", ERROR_ACCESS_DENIED);
    if (stampOf(utf8FromPath(f.target)) != f.expected) {
        ::DeleteFileW(f.tmp.c_str());
        f.tmpExists = false;
        throw Error(f.destination + ": cannot save: the file was changed on disk after it was "
                                    "read; it is left as it is: load it again and repeat the work");
    }
    const bool replaced = attributes != INVALID_FILE_ATTRIBUTES
                              ? ::ReplaceFileW(f.target.c_str(), f.tmp.c_str(), nullptr,
                                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                              : ::MoveFileExW(f.tmp.c_str(), f.target.c_str(),
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced)
        f.fail("cannot replace the file", ::GetLastError());
    f.tmpExists = false;
}

} // namespace tidy
