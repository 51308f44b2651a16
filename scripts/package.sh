#!/usr/bin/env bash
# Builds the Debian package tidylander_VERSION_amd64.deb from the programs in build/ (the
# folder run.sh and test.sh build in) and prints its path as the last line.
# Install it with: sudo apt install ./build/package/tidylander_VERSION_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDY_BUILD_GUI=ON >/dev/null
cmake --build build -j "$(nproc)"

log=$(cpack -G DEB --config build/CPackConfig.cmake -B "$PWD/build/package")
echo "$log" >&2
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log")
[ -f "$deb" ] || { echo "package.sh: cpack made no .deb" >&2; exit 1; }
echo "$deb"
