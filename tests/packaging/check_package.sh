#!/usr/bin/env bash
# Builds the Debian package from the build folder's programs and checks it without installing
# it: its contents, the programs it carries, the desktop entry, the AppStream file, the LandXML
# file type and lintian's verdict.
#   check_package.sh BUILD_DIR VERSION CASES_DIR REALDATA_DIR
# Exits 77 (skipped) only when a tool the checks need is not installed.
set -euo pipefail

# scdoc writes the man pages at build time; without it the package would lack them.
tools=(scdoc cpack dpkg-deb dpkg-shlibdeps dpkg-architecture file readelf desktop-file-validate
       appstreamcli update-mime-database gio lintian)
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (scripts/deps.sh installs it)"
        exit 77
    fi
done

build=$(realpath "$1")
version=$2
cases=$(realpath "$3")
realdata=$4
landxmlType=application/x-landxml+xml

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# cpack installs what the build folder has built into its own staging folder under -B.
SECONDS=0
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B out) >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAILED: cpack"; exit 1; }
deb="$work/out/tidylander_${version}_amd64.deb"
[ -f "$deb" ] || { cat "$work/cpack.log"; echo "FAILED: no $(basename "$deb")"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes, built in ${SECONDS} s"

root="$work/root"
dpkg-deb -x "$deb" "$root"
expected=(usr/bin/tidyland usr/bin/tidylander
          usr/share/applications/org.tqb55.tidylander.desktop
          usr/share/icons/hicolor/scalable/apps/org.tqb55.tidylander.svg
          usr/share/metainfo/org.tqb55.tidylander.metainfo.xml
          usr/share/mime/packages/tidylander-landxml.xml
          usr/share/man/man1/tidyland.1.gz usr/share/man/man1/tidylander.1.gz
          usr/share/doc/tidylander/copyright usr/share/doc/tidylander/changelog.gz)
for path in "${expected[@]}"; do
    [ -f "$root/$path" ] || fail "the package lacks /$path"
done

got=$("$root/usr/bin/tidyland" --version) || fail "the packaged tidyland --version exits $?"
[ "$got" = "tidyland $version" ] || fail "the packaged tidyland --version prints \"$got\""

# Every library the programs link must come from a package that Depends names.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
dependedOn=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ :].*//')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
patterns=()
for soname in $(readelf -d "$root"/usr/bin/* | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u); do
    patterns+=("*/$multiarch/$soname")
done
# One query for all of them: each one reads every package's file list.
owners=$(dpkg-query -S "${patterns[@]}" 2>/dev/null | sed 's/[:,].*//' | sort -u) ||
    fail "no installed package holds one of: ${patterns[*]}"
for owner in $owners; do
    grep -Fxq "$owner" <<<"$dependedOn" ||
        fail "the programs link a library of $owner, which Depends does not name"
done

desktop="$root"/usr/share/applications/org.tqb55.tidylander.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -Fxq 'Exec=tidylander %f' "$desktop" || fail "the desktop entry does not run tidylander %f"
offeredFor=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n')
grep -Fxq "$landxmlType" <<<"$offeredFor" ||
    fail "the desktop entry does not offer itself for $landxmlType"
# validate-tree also checks that the desktop entry the metadata names is in the package.
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml || fail "appstreamcli validate"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"

# The MIME entry alone in a data folder of its own, found through XDG_DATA_DIRS the way a
# desktop finds an installed one; the system's folder still knows plain XML.
mimeData="$work/xdg"
mkdir -p "$mimeData/mime/packages" "$work/home"
cp "$root"/usr/share/mime/packages/tidylander-landxml.xml "$mimeData/mime/packages/"
update-mime-database "$mimeData/mime" >"$work/mime.log" 2>&1 ||
    { cat "$work/mime.log"; fail "update-mime-database"; }
contentType() {
    XDG_DATA_DIRS="$mimeData:/usr/share" XDG_DATA_HOME="$work/home" \
        gio info --attributes=standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}
checkType() {
    local type
    type=$(contentType "$1")
    [ "$type" = "$2" ] || fail "$(basename "$1") resolves to \"$type\", not $2"
}
while read -r name type; do
    case "$name" in '' | '#'*) continue ;; esac
    checkType "$cases/mime/$name" "$type"
done <"$cases/mime-cases.txt"
if [ -d "$realdata" ]; then
    for file in "$realdata"/*.xml; do
        checkType "$file" "$landxmlType"
    done
else
    echo "note: $realdata is absent; the real exports were not tried"
fi

# Errors fail the check; warnings are listed for whoever reads the log.
SECONDS=0
lintian --tag-display-limit 0 --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
    fail "lintian reports errors"
echo "lintian (${SECONDS} s):"
sed 's/^/  /' "$work/lintian.log"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all package checks passed"
