#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so a
# warm machine does not wait for apt.
set -euo pipefail

# zlib compresses the pictures of tidyland render. clang and its runtime libraries (libFuzzer)
# build the fuzzers, fuzz/run.sh; expat is the conforming parser the differential fuzzer holds
# the load against. acl's setfacl and getfacl let the save tests check that a
# replaced file keeps its ACL. CLI11 and nlohmann::json read tidyland's command line and write
# its JSON lines.
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libpugixml-dev libgtest-dev zlib1g-dev
          libcli11-dev nlohmann-json3-dev
          locales-all fonts-dejavu-core fonts-liberation clang libclang-rt-14-dev libexpat1-dev
          acl)
# scdoc writes the man pages; the rest builds the Debian package (scripts/package.sh) and checks
# it (tests/packaging/).
packages+=(scdoc dpkg-dev file lintian desktop-file-utils appstream shared-mime-info
           libglib2.0-bin)
# A virtual X server and xdotool drive the window as a user would, without a window manager
# (tests/gui/).
packages+=(xvfb xdotool)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
