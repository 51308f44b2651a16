#!/bin/sh
# Each folder may include only from the folders its rule names (rules.txt): the layers' arrows,
# checked on every quoted include of the product code. Prints each include that points elsewhere.
set -eu
root=$1
rules=$(dirname "$0")/rules.txt
status=0
while read -r folder allowed; do
    case $folder in '#'* | '') continue ;; esac
    for file in "$root/$folder"/*.cpp "$root/$folder"/*.h "$root/$folder"/*.ui; do
        [ -f "$file" ] || continue
        sed -n -e 's/^#include "\([^"]*\)".*/\1/p' -e 's/.*<header>\(.*\)<\/header>.*/\1/p' "$file" |
        while read -r target; do
            case $target in */*) ;; *) continue ;; esac # a generated header such as ui_X.h
            ok=no
            for prefix in $allowed; do
                case $target in "$prefix"*) ok=yes ;; esac
            done
            [ $ok = yes ] || echo "${file#"$root"/}: includes $target"
        done
    done
done <"$rules" | grep . && status=1
# A new folder of product code needs its rule.
for folder in $(cd "$root" && find core gui cli -name '*.cpp' -exec dirname {} + | sort -u); do
    grep -q "^$folder " "$rules" || { echo "$folder: no rule in $rules"; status=1; }
done
exit $status
