#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it.
#   fuzz/run.sh [SECONDS [BUILD_DIR]]     30 seconds in build-fuzz unless told otherwise
# New inputs collect in BUILD_DIR/corpus, so a later run starts where an earlier one stopped. A
# crash, a sanitizer report, a leak, a timeout or a finding of the target's own checks ends the
# run with a non-zero status and leaves the input in BUILD_DIR/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build=${2:-build-fuzz}
case "$seconds" in
    '' | *[!0-9]*) echo "usage: fuzz/run.sh [SECONDS [BUILD_DIR]]" >&2; exit 2 ;;
esac

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/corpus" "$build/findings"

echo "== fuzzing for $seconds s =="
log="$build/fuzz.log"
status=0
"$build/tidyfuzz" -max_total_time="$seconds" -max_len=32768 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/findings/" \
    "$build/corpus" fuzz/seeds samples tests/data tests/reliability/badinput >"$log" 2>&1 ||
    status=$?
if [ "$status" -ne 0 ]; then
    tail -n 80 "$log" >&2
    echo "fuzz: FAILED (status $status); the input is in $build/findings/, the log in $log" >&2
    exit "$status"
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)' "$log"
echo "corpus: $(find "$build/corpus" -type f | wc -l) inputs in $build/corpus"
