// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue: one small file per way a LandXML file can be wrong, with the
// operations that must refuse it and what their message must say; the tidyland commands that run
// the operations, and the paths that hold no file to read.
#pragma once

#include "TestSupport.h"

#include <bit>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tidytest {

// The five operations of the window and of tidyland, as bits.
enum Operation : unsigned {
    Scan = 1u << 0, // open and scan; tidyland scan
    Triangles =
        1u << 1,      // edit and save with "Remove triangles outside boundary"; clean --triangles
    Curves = 1u << 2, // edit and save with the curve repair; clean --curves
    Rename = 1u << 3, // surface renaming; tidyland rename
    Color = 1u << 4,  // colour assignment; tidyland color
};
constexpr unsigned kEveryOperation = Scan | Triangles | Curves | Rename | Color;
constexpr Operation kOperations[] = {Scan, Triangles, Curves, Rename, Color};
inline const char* operationName(Operation op) {
    constexpr const char* names[] = {"scan", "triangles", "curves", "rename", "color"};
    return names[std::countr_zero(unsigned(op))];
}

// One file of the catalogue folder and its sidecar NAME.expect, lines of "key: value":
//   refused: all | none | the operations (scan triangles curves rename color) that refuse it
//   place:   "line L, column C" that follows the path; absent where the message has none
//   says:    part of the message after the place
struct BadFile {
    std::string name;
    unsigned refusing = 0; // operations that must refuse the file; every other one must succeed
    std::string place;
    std::string says;
};

inline void PrintTo(const BadFile& entry, std::ostream* out) {
    *out << entry.name;
}

// Every entry, good.xml (refused by nothing) first. A file without a sidecar, or a sidecar that
// cannot be read, throws: no file sits in the folder untested.
const std::vector<BadFile>& catalogue();

// The first entry that `op` refuses.
const BadFile& firstRefusedBy(Operation op);

// The catalogue folder, and the bytes of an entry.
std::string catalogueFolder();
std::string catalogueBytes(const BadFile& entry);

// A tidyland command running one operation.
struct Command {
    Operation op;
    bool toNewFile;                // -o OUT rather than --in-place; scan writes nothing
    std::vector<std::string> args; // "FILE" and "OUT" stand for the file and the new file
    std::vector<std::string> on(const std::string& file, const std::string& out = "") const;
};
inline void PrintTo(const Command& c, std::ostream* out) {
    *out << operationName(c.op) << (c.toNewFile ? " to a new file" : "");
}

// Every operation: scan, and the others in place and to a new file.
std::vector<Command> everyCommand();
// The writing commands on `file`, in place or, when `output` is given, to it.
std::vector<std::vector<std::string>> writingCommands(const std::string& file,
                                                      const std::string& output = "");
// The arguments as one line, to say which run failed.
std::string commandLine(const std::vector<std::string>& args);

// Paths that hold no file to read: nothing, a folder in place of the file, a file its user may
// not read (as root, one only root may read).
enum class NoFile { Missing, Folder, Unreadable, Fifo, Device };
constexpr NoFile kNoFiles[] = {NoFile::Missing, NoFile::Folder, NoFile::Unreadable, NoFile::Fifo,
                               NoFile::Device};
std::string noFileName(NoFile kind);
// Makes `kind` at "survey.xml" in `dir` (a device: a link to /dev/null) and returns its path.
std::string makeNoFile(const TempDir& dir, NoFile kind);
// The folder still holds what it held, and no other file.
void expectNoFileKept(const TempDir& dir, NoFile kind);

struct Outcome;
// The run failed with a message of one line that begins with `beginning` and says `says`, and
// wrote nothing to standard output.
void expectRefused(const Outcome& r, const std::string& beginning, const std::string& says);

// The name the surfaces of the catalogue files carry, and the answers the operations give.
constexpr std::string_view kSurfaceName = "EG";
constexpr std::string_view kNewName = "Existing ground";
constexpr int kNewColor = 5;

} // namespace tidytest
