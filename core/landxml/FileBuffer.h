// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tidy::detail {

// Bytes from pugixml's allocator, so that a document can take ownership of them and parse them
// in place.
struct FileBuffer {
    char* data = nullptr;
    std::size_t size = 0;

    FileBuffer() = default;
    // `n` bytes, not initialised; throws std::bad_alloc.
    explicit FileBuffer(std::size_t n);
    FileBuffer(FileBuffer&& o) noexcept : data(o.data), size(o.size) { o.data = nullptr; }
    FileBuffer& operator=(FileBuffer&& o) noexcept {
        std::swap(data, o.data);
        std::swap(size, o.size);
        return *this;
    }
    ~FileBuffer();
    // Hands the bytes over; the caller frees them with pugixml's deallocation function.
    char* release() { return std::exchange(data, nullptr); }
};

// The whole regular file at `path`; `lookAtStart` sees its first bytes before the rest is read
// and may refuse the file by throwing. Throws Error naming the file.
FileBuffer readFileBuffer(const std::string& path,
                          const std::function<void(std::string_view start)>& lookAtStart);

// A copy of `text`.
FileBuffer copyToFileBuffer(std::string_view text);

} // namespace tidy::detail
