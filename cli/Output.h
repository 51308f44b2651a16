// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One object per file, written either as a JSON line or as a short report for people. The
// object holds names as the file gave them; only the JSON line converts them.

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace tidycli {

// kFaults: check found a fault in a file it read.
enum ExitStatus : int { kSuccess = 0, kFileFailed = 1, kUsageError = 2, kFaults = 3 };

// Keys in the order they were added: the JSON lines list them as documented.
using Object = nlohmann::ordered_json;

// The object as one compact line of valid UTF-8 JSON (without the line end). A byte that is not
// part of valid UTF-8 becomes U+EF80 + (byte - 0x80), so that it can be recovered.
std::string jsonLine(const Object& object);

// The object as an indented "key: value" report; arrays of strings on one line.
void writeReport(std::ostream& out, const Object& object);

} // namespace tidycli
