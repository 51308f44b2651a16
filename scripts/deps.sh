#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so a
# warm machine does not wait for apt.
set -euo pipefail

# clang and its runtime libraries (libFuzzer) build the fuzzer, fuzz/run.sh. acl's setfacl and
# getfacl let the save tests check that a replaced file keeps its ACL.
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libpugixml-dev libgtest-dev
          locales-all fonts-dejavu-core fonts-liberation clang libclang-rt-14-dev acl)
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
