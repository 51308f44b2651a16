// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Console.h"

#include "core/platform/Windows.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tidycli {

namespace {

// Set by startConsole: a console that interprets cursor controls.
bool errorTerminal = false;

} // namespace

// argv holds the arguments in the ANSI code page, which cannot spell every file name; the
// UTF-16 command line can.
std::vector<std::string> startConsole(int, char**) {
    ::SetConsoleOutputCP(CP_UTF8);
    // Binary: "\n" stays one byte, so output and reports match those of the other systems.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    errorTerminal = ::GetConsoleMode(error, &mode) &&
                    ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);

    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i)
        args.push_back(tidy::platform::utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

bool errorIsTerminal() {
    return errorTerminal;
}

} // namespace tidycli
