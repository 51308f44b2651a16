#!/usr/bin/env bash
# Builds a minimal Qt for 64-bit Windows (mingw-w64, POSIX threads) from Debian's source package of
# the Linux Qt's version, once per machine: it is installed into a cache folder named after the
# version and a hash of the options, and reused while that folder is complete. The Linux Qt's
# own tools (moc, uic, rcc) serve the cross build. The last line printed is the Qt folder.
#   scripts/qt-windows.sh            build if needed
#   scripts/qt-windows.sh --prefix   only print the folder (present when it holds .complete)
set -euo pipefail
cd "$(dirname "$0")/.."

qtVersion=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${qtVersion%+*}
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF
    # Core, Gui, Widgets, the windows platform plugin, testlib for the window's tests, the styles.
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON
    -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_style_fusion=ON -DFEATURE_style_windows=ON -DFEATURE_style_windowsvista=ON
    # Debian's source leaves out wintab (its licence), which tablet events need.
    -DFEATURE_tabletevent=OFF
    # The bundled libraries are built in, whatever mingw libraries the machine has.
    # OpenGL stays: without it 6.4's windows platform plugin does not compile. It is loaded
    # dynamically, so nothing more ships for it.
    -DFEATURE_system_zlib=OFF -DINPUT_pcre=qt -DINPUT_libpng=qt -DINPUT_freetype=qt -DINPUT_harfbuzz=qt
    -DINPUT_doubleconversion=qt
)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || true)
key=$( (echo "$qtVersion $compiler plugin-directwrite-needs-direct2d"; printf '%s\n' "${options[@]}") |
       sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tidylander
prefix=$cache/qt-$upstream-$key

if [ "${1:-}" = --prefix ] || [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

scripts/deps.sh g++-mingw-w64-x86-64-posix qt6-base-dev-tools dpkg-dev
mkdir -p "$cache"
source=$cache/qtbase-$qtVersion
[ -f "$source/CMakeLists.txt" ] || scripts/apt-source.sh qt6-base "$qtVersion" "$source"
# Qt 6.4's Gui has its DirectWrite font database only with Direct2D, yet the windows platform
# plugin asks for it without (and then does not link): without Direct2D it keeps to the GDI one,
# Qt's default.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$source/src/plugins/platforms/windows/qwindowsintegration.cpp"

build=$cache/qt-$upstream-$key.build
rm -rf "$build" "$prefix"
start=$(date +%s)
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-qt.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${options[@]}"
cmake --build "$build" -j "${TIDY_JOBS:-$(nproc)}"
cmake --install "$build" >/dev/null
rm -rf "$build"

# What the LGPL asks to ship with Qt's DLLs: the licences of Qt and of the libraries built into it,
# and where the source and the options that built it come from.
licenses=$prefix/licenses
mkdir -p "$licenses/qt-3rdparty"
cp "$source"/LICENSES/{LGPL-3.0-only,GPL-2.0-only,GPL-3.0-only,Qt-GPL-exception-1.0}.txt "$licenses"
cp "$source/debian/copyright" "$licenses/qt-copyright.txt"
for part in "$source"/src/3rdparty/*/; do
    name=$(basename "$part")
    case $name in android | gradle | wasm | xcb | VulkanMemoryAllocator | libjpeg | libpsl | forkfd | dbus-ifaces) continue ;; esac
    find "$part" -maxdepth 1 -type f \( -iname '*licen[cs]e*' -o -iname 'copying*' \) |
        while read -r file; do cp "$file" "$licenses/qt-3rdparty/$name-$(basename "$file")"; done
done
{
    echo "Qt $upstream (Qt Core, Gui, Widgets, the windows platform plugin and the styles) was built"
    echo "from Debian's source package qt6-base $qtVersion, available from"
    echo "https://deb.debian.org/debian/pool/main/q/qt6-base/ and https://snapshot.debian.org/,"
    echo "with the mingw-w64 compilers (gcc $compiler, POSIX threads). One change to the source: in"
    echo "src/plugins/platforms/windows/qwindowsintegration.cpp, \"#if QT_CONFIG(directwrite3)\" became"
    echo "\"#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)\" (twice). These CMake options:"
    printf '    %s\n' "${options[@]}"
} >"$licenses/qt-source.txt"

echo "Qt $upstream for Windows built in $(( ($(date +%s) - start) / 60 )) min" >&2
touch "$prefix/.complete"
echo "$prefix"
