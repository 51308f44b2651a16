// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/platform/Windows.h"

#include <windows.h>

namespace tidy::platform {

std::string utf8FromWide(std::wstring_view text) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

std::string windowsErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                     reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring_view text(buffer ? buffer : L"", n);
    // The system's texts end in a full stop and a line break, which our messages supply.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.'))
        text.remove_suffix(1);
    std::string out = text.empty() ? "system error " + std::to_string(code) : utf8FromWide(text);
    ::LocalFree(buffer);
    return out;
}

} // namespace tidy::platform
