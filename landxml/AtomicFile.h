// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pugixml.hpp>

#include <memory>
#include <string>

namespace tidy {

// Replaces a file as a whole or not at all: what is written goes into a temporary file beside
// the destination, which takes the destination's name only once it is complete and on the disk.
// The system calls live behind this class, one implementation per platform.
class AtomicFile final : public pugi::xml_writer {
public:
    // Creates the temporary file for `destination`; a symbolic link keeps pointing at its
    // replaced target. Throws Error naming `destination` when it cannot.
    explicit AtomicFile(const std::string& destination);
    // Removes the temporary file unless commit() has put it in place.
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Buffered; a failure is kept and thrown by commit().
    void write(const void* data, size_t size) override;

    // Puts the complete file in place of the destination, keeping the permissions of the file
    // it replaces. Throws Error, leaving the destination as it was.
    void commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tidy
