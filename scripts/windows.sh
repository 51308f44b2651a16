#!/usr/bin/env bash
# The Windows build (./test.sh --windows): cross-compiles the core, tidyland and their tests
# into build-windows/ with mingw-w64, runs the tests under Wine, and compares tidyland.exe's
# output on the real exports with that of the Linux tidyland, which it builds in build/ first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 googletest dpkg-dev
jobs=$(nproc)
build=build-windows
mkdir -p "$build"

# pugixml is compiled from Debian's source package of the version the Linux build links, so that
# both programs parse and write with the same code. apt-get source needs a deb-src entry, which
# is made for this one download from the system's own entries, leaving the system's set-up as
# it is.
pugixmlVersion=$(dpkg-query -W -f='${Version}' libpugixml-dev)
pugixml=$PWD/$build/pugixml-${pugixmlVersion%-*}
if [ ! -f "$pugixml/src/pugixml.cpp" ]; then
    apt=$PWD/$build/apt
    mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/source"
    # Debian's own entries only: another vendor's may have no sources to offer.
    awk -v RS= '/URIs:[^\n]*debian/ { sub(/Types: *deb\n/, "Types: deb-src\n"); print $0 "\n" }' \
        /etc/apt/sources.list.d/*.sources >"$apt/parts/debian.sources" 2>/dev/null || true
    grep '^deb .*debian' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
        >"$apt/sources.list" || true
    aptOptions=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
                -o "Dir::State::Lists=$apt/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root -qq)
    apt-get "${aptOptions[@]}" update || true # a missing entry shows in the download below
    (cd "$apt/source" && apt-get "${aptOptions[@]}" source "pugixml=$pugixmlVersion" >/dev/null)
    rm -rf "$pugixml"
    mv "$apt/source/pugixml-${pugixmlVersion%-*}" "$pugixml"
    rm -rf "$apt"
fi

# The Linux tidyland whose output tidyland.exe must match.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDY_WERROR=ON >/dev/null
cmake --build build -j "$jobs" --target tidyland

# Optimised as the Linux build is, without its debug information, which only slows the cross
# build and its links down.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTIDY_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTIDY_BUILD_GUI=OFF \
    -DTIDY_PUGIXML_SOURCE="$pugixml" -DTIDY_GTEST_SOURCE=/usr/src/googletest \
    -DTIDY_LINUX_TIDYLAND="$PWD/build/cli/tidyland" >/dev/null
cmake --build "$build" -j "$jobs"

# Wine keeps its Windows installation in a prefix; this one belongs to the build. Console
# programs need no display, so it runs headless; without Mono and Gecko it asks for neither.
export WINEPREFIX=$PWD/$build/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
ctest --test-dir "$build" --output-on-failure -j "$jobs"
