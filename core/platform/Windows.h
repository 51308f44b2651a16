// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversions at the Windows boundary, for the platform files of the Windows build only.
#pragma once

#include <string>
#include <string_view>

namespace tidy::platform {

// UTF-16 from the system as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8FromWide(std::wstring_view text);

// The system's description of error `code` (a GetLastError() value), as UTF-8.
std::string windowsErrorText(unsigned long code);

} // namespace tidy::platform
