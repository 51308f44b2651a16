// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <string>

namespace tidy {

// What tells one version of a file from the next: a program that changes the file, or puts
// another file in its place, changes at least one of these.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
    std::int64_t changed = 0;  // nanoseconds, of the last change to the content or the inode
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path`, following symbolic links; `exists` false when there is none.
FileStamp stampOf(const std::string& path);

// Replaces a file as a whole or not at all: what is written goes into a temporary file beside
// the destination, which takes the destination's name only once it is complete and on the disk.
// The system calls live behind this class, one implementation per platform.
class AtomicFile final : public pugi::xml_writer {
public:
    // Where the content came from: the file and its stamp when it was read. A destination that
    // is that file is only replaced while it is still that version.
    struct Source {
        std::string path;
        FileStamp stamp;
    };

    // Creates the temporary file for `destination`; a symbolic link keeps pointing at its
    // replaced target. Refuses, with an Error naming `destination`, anything but a regular file
    // or a missing name, a path into /dev, /proc or /sys, a file the user may not write and a
    // file with several hard links.
    AtomicFile(const std::string& destination, const Source& source);
    // Removes the temporary file unless commit() has put it in place.
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Buffered; a failure is kept and thrown by commit().
    void write(const void* data, size_t size) override;

    // Puts the complete file in place of the destination, which keeps its owner (or at least its
    // group), permissions, ACLs and extended attributes. Refuses a destination that changed
    // since it was read (or, for another file, since the constructor). Throws Error, leaving the
    // destination as it was.
    void commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Writes `bytes` to `path` whole or not at all, with the same checks as a document's save.
// Throws Error naming `path`.
inline void writeFileAtomically(const std::string& path, const std::string& bytes) {
    AtomicFile file(path, {path, stampOf(path)});
    file.write(bytes.data(), bytes.size());
    file.commit();
}

} // namespace tidy
