// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One object per file, written either as a JSON line or as a short report for people.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace tidycli {

enum ExitStatus : int { kSuccess = 0, kFileFailed = 1, kUsageError = 2 };

struct Value;
using Object = std::vector<std::pair<std::string, Value>>;
using Array = std::vector<Value>;

struct Value {
    std::variant<std::nullptr_t, bool, std::int64_t, std::string, Array, Object> v;

    Value() : v(nullptr) {}
    Value(std::nullptr_t) : v(nullptr) {}
    Value(bool b) : v(b) {}
    Value(std::int32_t i) : v(std::int64_t(i)) {}
    Value(std::int64_t i) : v(i) {}
    Value(std::string s) : v(std::move(s)) {}
    Value(const char* s) : v(std::string(s)) {}
    Value(Array a) : v(std::move(a)) {}
    Value(Object o) : v(std::move(o)) {}
    template <class T> Value(const std::optional<T>& o) : v(nullptr) {
        if (o)
            *this = Value(*o);
    }
};

// A string as a JSON string literal: quotes, backslashes and control characters escaped.
std::string jsonQuote(const std::string& s);

// The value as compact JSON.
std::string toJson(const Value& value);

// The value as an indented "key: value" report; arrays of strings on one line.
void writeReport(std::ostream& out, const Object& object);

} // namespace tidycli
