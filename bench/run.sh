#!/usr/bin/env bash
# The benchmark: builds tidylander in Release, generates LandXML files of 10, 100 and 400 MB
# (cached outside the repository) and measures, side by side in each round, the wall time and
# peak memory (GNU time's maximum resident set size) of
#   - the naive floor: plain pugixml load + save (bench/naive_floor.cpp),
#   - tidyland scan --count-triangles,
#   - tidyland clean --triangles --curves -o OUT,
#   - tidyland render -o OUT.png (the first surface; the generated ones are all the same size),
#   - tidyland check (every surface and the curves; status 3, faults found, counts as a run),
#   - xmlstarlet deleting the same faces (installed with apt-get when missing),
# and the window's "Edit and save" (Button1Click on the offscreen platform) on the 100 MB file.
# Each figure is the median of RUNS rounds; each ratio is taken within a round, then its median
# reported. Prints a Markdown table and keeps it in the cache folder.
#
#   bench/run.sh
#
# Environment: RUNS (3), SIZES ("10 100 400", megabytes), TIDY_BENCH_BUILD (build folder,
# <repo>/build-bench), TIDY_BENCH_CACHE (${XDG_CACHE_HOME:-~/.cache}/tidy-bench), WARM (1; 0
# measures without warming memory first, see warm_memory).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-3}
sizes=${SIZES:-10 100 400}
build=${TIDY_BENCH_BUILD:-$repo/build-bench}
cache=${TIDY_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tidy-bench}
namespace=http://www.landxml.org/schema/LandXML-1.2
window_size=100

if [ "$runs" -lt 3 ]; then
    echo "run.sh: RUNS must be at least 3 for a median" >&2
    exit 2
fi

install_package() {
    echo "== installing $1 ==" >&2
    local sudo=
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get install -y "$1" >/dev/null || { $sudo apt-get update >/dev/null &&
        $sudo apt-get install -y "$1" >/dev/null; }
}
command -v xmlstarlet >/dev/null || install_package xmlstarlet
[ -x /usr/bin/time ] || install_package time

echo "== building in Release ($build) ==" >&2
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDY_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target tidyland naive_floor window_edit_and_save >/dev/null
tidyland=$build/cli/tidyland
naive_floor=$build/bench/naive_floor
window=$build/bench/window_edit_and_save

# Files are named after the generator's content, so a changed generator makes new ones.
mkdir -p "$cache"
generator=$repo/bench/generate_landxml.py
generator_id=$(sha256sum "$generator" | cut -c1-12)
input() { echo "$cache/landxml-$1MB-$generator_id.xml"; }
for size in $sizes $window_size; do
    file=$(input "$size")
    if [ ! -s "$file" ]; then
        echo "== generating $file ==" >&2
        python3 "$generator" --megabytes "$size" "$file.part"
        mv "$file.part" "$file"
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tidy-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$work/results
mkdir -p "$results"

now() { date +%s%N; }

# In a virtual machine with free page reporting (a Firecracker guest, for one) the host takes back
# memory that the guest freed, and touching it again costs milliseconds per megabyte, far more
# than on real hardware; huge pages freed a moment ago cost what they cost anywhere. So each tool
# starts right after a helper touched and freed, in huge pages, as much memory as the tool took in
# the warm-up round: every tool gets what a real machine gives it. WARM=0 leaves this out.
warm=${WARM:-1}
warm_memory() { # MiB
    [ "$warm" = 1 ] || return 0
    python3 -c '
import mmap, sys
size = int(sys.argv[1]) << 20
memory = mmap.mmap(-1, size, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS)
memory.madvise(mmap.MADV_HUGEPAGE)
for at in range(0, size, 4096):
    memory[at] = 1
' "$1"
}

# measure NAME SIZE COMMAND...: runs COMMAND once and appends "seconds peak-KiB" to NAME-SIZE.
measure() {
    local name=$1 size=$2
    shift 2
    local start end
    warm_memory "$(cat "$work/peak-$name-$size" 2>/dev/null || echo $((size * 12 + 64)))"
    start=$(now)
    if ! /usr/bin/time -f '%M' -o "$work/peak" "$@" >"$work/stdout" 2>"$work/stderr"; then
        echo "run.sh: $name on $size MB failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    end=$(now)
    tail -1 "$work/peak" | awk '{ printf "%d\n", $1 / 1024 + 64 }' >"$work/peak-$name-$size"
    # What a tool left for the kernel to write back is not charged to the next one.
    sync
    echo "$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }') $(tail -1 "$work/peak")" \
        >>"$results/$name-$size"
}

delete_outside_faces() { exec xmlstarlet ed -N "l=$namespace" -d '//l:F[@i="1"]' "$1" >"$2"; }
export -f delete_outside_faces
# The generated curves include radius deviations, which check reports as faults (status 3).
check_file() { "$1" check "$2"; local s=$?; [ "$s" = 0 ] || [ "$s" = 3 ]; }
export -f check_file
export namespace

# Round 0 warms up: the page cache, the kernel's free huge pages, the binaries; it is not counted.
for round in $(seq 0 "$runs"); do
    for size in $sizes; do
        file=$(input "$size")
        echo "== round $round, $size MB ==" >&2
        cat "$file" >/dev/null # every tool reads it from the page cache
        measure naive "$size" "$naive_floor" "$file" "$work/out.xml"
        measure scan "$size" "$tidyland" scan --count-triangles "$file"
        measure clean "$size" "$tidyland" clean --triangles --curves -o "$work/out.xml" "$file"
        measure render "$size" "$tidyland" render -o "$work/out.png" "$file"
        measure check "$size" bash -c 'check_file "$1" "$2"' _ "$tidyland" "$file"
        measure xmlstarlet "$size" bash -c 'delete_outside_faces "$1" "$2"' _ "$file" "$work/out.xml"
        rm -f "$work/out.xml" "$work/out.png"
    done
    echo "== round $round, window on $window_size MB ==" >&2
    cp "$(input $window_size)" "$work/window.xml" # Button1Click saves over its file
    sync
    measure window-process "$window_size" "$window" "$work/window.xml"
    awk '$1 == "edit_and_save_ms" { printf "%.3f\n", $2 / 1000 }' "$work/stdout" \
        >>"$results/window-$window_size"
    awk '$1 == "label4_paints" || $1 == "progress_paints" { s += $2 } END { print s }' \
        "$work/stdout" >>"$results/window-paints-$window_size"
    rm -f "$work/window.xml"
    if [ "$round" = 0 ]; then
        rm -f "$results"/*
    fi
done

# median FILE COLUMN
median() {
    awk -v c="$2" '{ print $c }' "$1" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# ratio_median A B COLUMN: the median over rounds of A / B, each taken within one round.
ratio_median() {
    paste -d' ' <(awk -v c="$3" '{ print $c }' "$1") <(awk -v c="$3" '{ print $c }' "$2") |
        awk '{ printf "%.6f\n", $1 / $2 }' >"$work/ratios"
    median "$work/ratios" 1
}
seconds() { printf '%.2f' "$(median "$results/$1-$2" 1)"; }
mib() { awk -v k="$(median "$results/$1-$2" 2)" 'BEGIN { printf "%.0f", k / 1024 }'; }
two() { printf '%.2f' "$1"; }
verdict() { awk -v v="$1" -v limit="$2" -v dir="$3" \
    'BEGIN { ok = dir == "<=" ? v <= limit : v >= limit; print ok ? "met" : "MISSED" }'; }

report=$cache/results-$(date +%Y%m%d-%H%M%S).md
{
    echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
        "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), Linux $(uname -r)," \
        "transparent huge pages: $(sed 's/.*\[\(.*\)\].*/\1/' /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo unknown)"
    commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo "unknown")
    git -C "$repo" diff --quiet HEAD -- . 2>/dev/null || commit="$commit with local changes"
    echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $commit;" \
        "median of $runs rounds; wall seconds / peak MiB; memory warmed first: $([ "$warm" = 1 ] && echo yes || echo no)"
    echo
    echo "| file | naive floor | scan | clean | xmlstarlet | render | check | scan / naive | clean / naive | xmlstarlet / clean | render / scan | check / scan | clean peak / file | render peak / file | check peak / scan peak |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    for size in $sizes; do
        bytes=$(stat -c %s "$(input "$size")")
        file_mib=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
        awk -v b="$bytes" '{ printf "%.6f\n", $2 * 1024 / b }' "$results/clean-$size" >"$work/peak-ratios"
        awk -v b="$bytes" '{ printf "%.6f\n", $2 * 1024 / b }' "$results/render-$size" >"$work/render-peak-ratios"
        echo "| $size MB ($file_mib MiB) | $(seconds naive "$size") s / $(mib naive "$size") | $(seconds scan "$size") s / $(mib scan "$size") | $(seconds clean "$size") s / $(mib clean "$size") | $(seconds xmlstarlet "$size") s / $(mib xmlstarlet "$size") | $(seconds render "$size") s / $(mib render "$size") | $(seconds check "$size") s / $(mib check "$size") | $(two "$(ratio_median "$results/scan-$size" "$results/naive-$size" 1)") | $(two "$(ratio_median "$results/clean-$size" "$results/naive-$size" 1)") | $(two "$(ratio_median "$results/xmlstarlet-$size" "$results/clean-$size" 1)") | $(two "$(ratio_median "$results/render-$size" "$results/scan-$size" 1)") | $(two "$(ratio_median "$results/check-$size" "$results/scan-$size" 1)") | $(two "$(median "$work/peak-ratios" 1)") | $(two "$(median "$work/render-peak-ratios" 1)") | $(two "$(ratio_median "$results/check-$size" "$results/scan-$size" 2)") |"
    done
    echo
    echo "Targets:"
    if [ -f "$results/naive-100" ]; then
        r=$(ratio_median "$results/clean-100" "$results/naive-100" 1)
        echo "- clean / naive floor on 100 MB: $(two "$r") (<= 0.35: $(verdict "$r" 0.35 '<='))"
        r=$(ratio_median "$results/xmlstarlet-100" "$results/clean-100" 1)
        echo "- xmlstarlet / clean on 100 MB: $(two "$r") (>= 10: $(verdict "$r" 10 '>='))"
        r=$(ratio_median "$results/scan-100" "$results/naive-100" 1)
        echo "- scan / naive floor on 100 MB: $(two "$r") (<= 0.2: $(verdict "$r" 0.2 '<='))"
        awk -v b="$(stat -c %s "$(input 100)")" '{ printf "%.6f\n", $2 * 1024 / b }' \
            "$results/clean-100" >"$work/peak-ratios"
        r=$(median "$work/peak-ratios" 1)
        echo "- clean peak memory / file size on 100 MB: $(two "$r") (<= 3: $(verdict "$r" 3 '<='))"
        r=$(ratio_median "$results/render-100" "$results/scan-100" 1)
        echo "- render / scan on 100 MB: $(two "$r") (<= 2: $(verdict "$r" 2 '<='))"
        awk -v b="$(stat -c %s "$(input 100)")" '{ printf "%.6f\n", $2 * 1024 / b }' \
            "$results/render-100" >"$work/peak-ratios"
        r=$(median "$work/peak-ratios" 1)
        echo "- render peak memory / file size on 100 MB: $(two "$r") (<= 3: $(verdict "$r" 3 '<='))"
        r=$(ratio_median "$results/check-100" "$results/scan-100" 1)
        echo "- check / scan on 100 MB: $(two "$r") (<= 3: $(verdict "$r" 3 '<='))"
        r=$(ratio_median "$results/check-100" "$results/scan-100" 2)
        echo "- check peak memory / scan peak memory on 100 MB: $(two "$r") (<= 3: $(verdict "$r" 3 '<='))"
    fi
    if [ -f "$results/scan-400" ] && [ -f "$results/scan-100" ]; then
        for name in scan clean; do
            r=$(ratio_median "$results/$name-400" "$results/$name-100" 1)
            echo "- $name time 400 MB / 100 MB: $(two "$r") (<= 4.4: $(verdict "$r" 4.4 '<='))"
        done
    fi
    if [ -f "$results/clean-$window_size" ]; then
        r=$(ratio_median "$results/window-$window_size" "$results/clean-$window_size" 1)
        echo "- window Button1Click / tidyland clean on $window_size MB: $(two "$r") (<= 1.15: $(verdict "$r" 1.15 '<='))" \
            "[Button1Click $(seconds window "$window_size") s inside the window program, whose whole process took $(seconds window-process "$window_size") s / $(mib window-process "$window_size") MiB with its scan; $(median "$results/window-paints-$window_size" 1) paints of Label4 and ProgressBar1]"
    fi
    echo
    echo "Commands (FILE from bench/generate_landxml.py --megabytes N; OUT a fresh file):"
    echo "- naive floor: naive_floor FILE OUT"
    echo "- scan: tidyland scan --count-triangles FILE"
    echo "- clean: tidyland clean --triangles --curves -o OUT FILE"
    echo "- render: tidyland render -o OUT.png FILE"
    echo "- check: tidyland check FILE"
    echo "- xmlstarlet: xmlstarlet ed -N l=$namespace -d '//l:F[@i=\"1\"]' FILE > OUT"
    echo "- window: window_edit_and_save COPY-OF-FILE (Button4Click, then Button1Click timed)"
    echo
    echo "Every round (seconds, peak KiB):"
    for f in "$results"/*; do
        echo "- $(basename "$f"): $(paste -sd';' "$f")"
    done
} | tee "$report"
echo "(kept in $report)" >&2
