#!/usr/bin/env bash
# Runs the Windows tidyland (under Wine) and the Linux one side by side on every real export and
# on a copy under a non-ASCII name: exit status, report and every written file must be the same
# byte for byte.
#   same-as-linux.sh WINE TIDYLAND.EXE LINUX-TIDYLAND REALDATA-FOLDER
set -uo pipefail
wine=$1 windows=$(realpath "$2") linux=$(realpath "$3") realdata=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/inputs"
failures=0 cases=0

# run NAME ARGS...: runs both programs, each in its own copy of the inputs folder, then compares.
run() {
    local name=$1 side
    shift
    cases=$((cases + 1))
    for side in windows linux; do
        rm -rf "${work:?}/$side"
        cp -r "$work/inputs" "$work/$side"
        local program=$linux
        [ "$side" = windows ] && program="$wine $windows"
        (cd "$work/$side" && $program "$@" >"../$side.out" 2>"../$side.err"; echo $? >"../$side.status")
    done
    local what
    for what in status out err; do
        if ! cmp -s "$work/windows.$what" "$work/linux.$what"; then
            echo "FAIL $name: the $what differs"
            diff "$work/linux.$what" "$work/windows.$what" | head -5
            failures=$((failures + 1))
            return
        fi
    done
    if ! diff -r "$work/windows" "$work/linux" >/dev/null; then
        echo "FAIL $name: the written files differ"
        diff -rq "$work/linux" "$work/windows" | head -5
        failures=$((failures + 1))
        return
    fi
    echo "ok   $name"
}

run version --version
shopt -s nullglob
exports=("$realdata"/*.xml)
if [ ${#exports[@]} -eq 0 ]; then
    echo "FAIL no real exports in $realdata"
    exit 1
fi
for file in "${exports[@]}"; do
    name=$(basename "$file")
    run "scan $name" scan --count-triangles --json "$file"
    run "clean $name" clean --triangles --curves -o cleaned.xml "$file"
done

# A name outside every ANSI code page, read, written to and replaced in place.
odd="Grundstück Süd – 測量.xml"
cp "${exports[0]}" "$work/inputs/$odd"
chmod u+w "$work/inputs/$odd"
run "scan $odd" scan "$odd"
run "clean $odd to a non-ASCII name" clean --triangles --curves -o "bereinigt – ü.xml" "$odd"
run "clean $odd in place" clean --triangles --curves --in-place "$odd"

echo "$((cases - failures)) of $cases cases the same on Windows as on Linux"
[ "$failures" -eq 0 ]
