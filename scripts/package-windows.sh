#!/usr/bin/env bash
# The Windows release, built on Linux: Qt for Windows (scripts/qt-windows.sh, cached), the window
# tidylander.exe against it, the single-file tidyland.exe (scripts/windows.sh --tidyland), and from
# them an NSIS installer and a portable zip in build-windows-gui/package/. The last line printed is
# the installer's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest dpkg-dev nsis zip
qt=$(scripts/qt-windows.sh | tail -1)
scripts/windows.sh --tidyland >/dev/null

version=$(sed -n 's/^project(tidylander VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
pugixml=$(ls -d "$PWD"/build-windows/pugixml-*/ | head -1)
build=build-windows-gui
export TIDY_QT_WINDOWS=$qt
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTIDY_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-qt.cmake \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DTIDY_PUGIXML_SOURCE="$pugixml" -DTIDY_GTEST_SOURCE=/usr/src/googletest >/dev/null
cmake --build "$build" -j "$(nproc)" --target tidylander >/dev/null

# The installed tree: the two programs, the Qt plugins the window loads, and every DLL these
# import that is not part of Windows, found in Qt's and the compiler's folders.
stage=$PWD/$build/stage
out=$PWD/$build/package
rm -rf "$stage" "$out"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/licenses" "$out"
cp "$build/gui/tidylander.exe" build-windows/cli/tidyland.exe "$stage"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles"
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
dllFolders=("$qt/bin" "$runtime" /usr/x86_64-w64-mingw32/lib)
bring() { # FILE: copies the DLLs FILE imports into the stage, and theirs
    local dll folder
    for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [ -f "$stage/$dll" ] && continue
        for folder in "${dllFolders[@]}"; do
            if [ -f "$folder/$dll" ]; then
                cp "$folder/$dll" "$stage/$dll"
                bring "$stage/$dll"
                break
            fi
        done
    done
}
for file in "$stage"/*.exe "$stage"/*/*.dll; do bring "$file"; done
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# Licences of everything shipped, and where the sources come from.
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/tidylander-GPL-3.0.txt"
cp -r "$qt"/licenses/* "$stage/licenses/"
for package in gcc-mingw-w64-base:mingw-gcc-runtime mingw-w64-common:mingw-w64-runtime \
               libz-mingw-w64:zlib libpugixml-dev:pugixml libcli11-dev:CLI11 \
               nlohmann-json3-dev:nlohmann-json; do
    cp "/usr/share/doc/${package%%:*}/copyright" "$stage/licenses/${package#*:}-copyright.txt"
done
sed "s/@VERSION@/$version/g" packaging/windows/README.txt >"$stage/README.txt"

# The installer's file lists: what it installs, and what its uninstaller removes.
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/files"
{
    for dir in $(cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort); do
        echo "SetOutPath \"\$INSTDIR\\${dir//\//\\}\""
        (cd "$stage" && find "$dir" -maxdepth 1 -type f | sort) |
            while read -r f; do echo "File \"$stage/$f\""; done
    done
    echo 'SetOutPath "$INSTDIR"'
    (cd "$stage" && find . -maxdepth 1 -type f | sort) | while read -r f; do echo "File \"$stage/${f#./}\""; done
} >"$out/files.nsh"
{
    while read -r f; do echo "Delete \"\$INSTDIR\\${f//\//\\}\""; done <"$out/files"
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) |
        while read -r d; do echo "RMDir \"\$INSTDIR\\${d//\//\\}\""; done
} >"$out/unfiles.nsh"

installer=$out/tidylander-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$out" -DOUTFILE="$installer" \
    packaging/windows/tidylander.nsi >&2
rm "$out/files" "$out/files.nsh" "$out/unfiles.nsh"
(cd "$stage/.." && rm -rf "tidylander-$version" && cp -r stage "tidylander-$version" &&
    zip -qr9 "$out/tidylander-$version-portable.zip" "tidylander-$version" && rm -rf "tidylander-$version")
echo "$installer"
