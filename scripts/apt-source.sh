#!/usr/bin/env bash
# apt-source.sh PACKAGE VERSION DIR: unpacks Debian's source package PACKAGE=VERSION into DIR.
# apt-get source needs a deb-src entry, which is made for this one download from the system's own
# entries in a private apt state, leaving the system's set-up as it is.
set -euo pipefail
package=$1 version=$2 dest=$3

apt=$(mktemp -d "${dest%/}.apt.XXXXXX")
trap 'rm -rf "$apt"' EXIT
mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/source"
# Debian's own entries only: another vendor's may have no sources to offer.
awk -v RS= '/URIs:[^\n]*debian/ { sub(/Types: *deb\n/, "Types: deb-src\n"); print $0 "\n" }' \
    /etc/apt/sources.list.d/*.sources >"$apt/parts/debian.sources" 2>/dev/null || true
grep '^deb .*debian' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
    >"$apt/sources.list" || true
aptOptions=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
            -o "Dir::State::Lists=$apt/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root -qq)
apt-get "${aptOptions[@]}" update || true # a missing entry shows in the download below
(cd "$apt/source" && apt-get "${aptOptions[@]}" source "$package=$version" >/dev/null)
rm -rf "$dest"
upstream=${version#*:}
mv "$apt/source/$package-${upstream%-*}" "$dest"
