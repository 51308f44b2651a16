#!/usr/bin/env bash
# The Windows build (./test.sh --windows): cross-compiles the core, tidyland and their tests
# into build-windows/ with mingw-w64, runs the tests under Wine, and compares tidyland.exe's
# output on the real exports with that of the Linux tidyland, which it builds in build/ first.
# `scripts/windows.sh --tidyland` builds build-windows/cli/tidyland.exe only (for the installer).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest dpkg-dev
jobs=$(nproc)
build=build-windows
mkdir -p "$build"

# pugixml is compiled from Debian's source package of the version the Linux build links, so that
# both programs parse and write with the same code.
pugixmlVersion=$(dpkg-query -W -f='${Version}' libpugixml-dev)
pugixml=$PWD/$build/pugixml-${pugixmlVersion%-*}
[ -f "$pugixml/src/pugixml.cpp" ] || scripts/apt-source.sh pugixml "$pugixmlVersion" "$pugixml"

# The Linux tidyland whose output tidyland.exe must match.
if [ "${1:-}" != --tidyland ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDY_WERROR=ON >/dev/null
    cmake --build build -j "$jobs" --target tidyland
fi

# Optimised as the Linux build is, without its debug information, which only slows the cross
# build and its links down.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTIDY_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTIDY_BUILD_GUI=OFF \
    -DTIDY_PUGIXML_SOURCE="$pugixml" -DTIDY_GTEST_SOURCE=/usr/src/googletest \
    -DTIDY_LINUX_TIDYLAND="$PWD/build/cli/tidyland" >/dev/null
if [ "${1:-}" = --tidyland ]; then
    exec cmake --build "$build" -j "$jobs" --target tidyland
fi
cmake --build "$build" -j "$jobs"
# tidyland.exe is one file: it imports Windows' own DLLs only.
if x86_64-w64-mingw32-objdump -p "$build/cli/tidyland.exe" | sed -n 's/^\s*DLL Name: //p' |
    grep -viE '^(kernel32|msvcrt|shell32|advapi32|user32|ntdll|bcrypt)\.dll$'; then
    echo "tidyland.exe needs the DLLs above beside it" >&2
    exit 1
fi

# Wine keeps its Windows installation in a prefix; this one belongs to the build. Console
# programs need no display, so it runs headless; without Mono and Gecko it asks for neither, and
# without winemenubuilder it writes no menu entries into the user's home.
export WINEPREFIX=$PWD/$build/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j "$jobs"
