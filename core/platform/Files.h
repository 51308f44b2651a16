// SPDX-License-Identifier: GPL-3.0-or-later
// The file system as the core sees it: paths are UTF-8 text everywhere above this layer; each
// system's own form (UTF-16 on Windows) appears only below it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tidy::platform {

// The path named by UTF-8 `text`, whatever the system's narrow code page.
inline std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// `path` as UTF-8 text.
inline std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// How much of a file readWholeFile shows before it reads the rest.
constexpr std::size_t kFileStart = 64 << 10;

// Reads the whole regular file at `path`: first its start (at most kFileStart bytes), which
// `lookAtStart` sees and may refuse by throwing before more is read or allocated, then the rest,
// into the memory that `allocate` returns for its size. Returns how many bytes came (fewer if it
// shrank meanwhile). Throws Error naming the file.
std::size_t readWholeFile(const std::string& path,
                          const std::function<void(std::string_view start)>& lookAtStart,
                          const std::function<char*(std::size_t size)>& allocate);

// The bytes of a regular file, mapped for reading once from start to end without holding them
// all in memory. Throws Error naming the file. Bytes that cannot be read any more (another program
// shortened the file, or the disk failed) read as zeros, and the view is no longer `intact`: its
// reader must then not trust what it read.
class FileView {
public:
    explicit FileView(const std::string& path);
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The bytes before `offset` are not read again: their memory may go back to the system.
    void doneBefore(std::size_t offset);
    bool intact() const;

private:
    void populateFrom(std::size_t offset);
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0;
    [[maybe_unused]] void* handle_ = nullptr; // the mapping object, where the system has one
};

} // namespace tidy::platform
