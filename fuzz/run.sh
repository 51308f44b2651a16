#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them.
#   fuzz/run.sh [SECONDS [BUILD_DIR]]   open-ended: each target for SECONDS (30 unless told) in
#                                       build-fuzz unless told otherwise
#   fuzz/run.sh --check [BUILD_DIR]     the fixed run of ./test.sh: a fixed seed and number of
#                                       runs from the fixed inputs, so that a commit gets the
#                                       same verdict on every machine
# The inputs: fuzz/seeds (the seed corpus and every earlier finding), the samples and the test
# data; fuzz/xml.dict holds words of XML's grammar for the mutations. An open-ended run also
# starts from BUILD_DIR/corpus/TARGET, where it keeps what it found, so a later run starts where
# an earlier one stopped; that folder differs from machine to machine and the fixed run leaves
# it out. A crash, a sanitizer report, a leak, a timeout or a finding of a target's own checks
# ends the run with a non-zero status and leaves the input in
# BUILD_DIR/findings: README.md says how it becomes a seed.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: fuzz/run.sh [SECONDS [BUILD_DIR]] | fuzz/run.sh --check [BUILD_DIR]"
check=false
if [ "${1:-}" = --check ]; then
    check=true
    build=${2:-build-fuzz}
else
    seconds=${1:-30}
    build=${2:-build-fuzz}
    case "$seconds" in
        '' | *[!0-9]*) echo "$usage" >&2; exit 2 ;;
    esac
fi

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/corpus" "$build/findings"

# The fixed inputs by name: libFuzzer takes them in this order (-shuffle=0), the smallest first.
inputs="$build/inputs.txt"
find fuzz/seeds samples tests/data tests/reliability/badinput tests/reliability/roundtrip -type f \
    -name '*.xml' |
    LC_ALL=C sort | paste -sd, >"$inputs"

# The targets' work folders, whose names their messages carry, in the same place everywhere.
$check && export TMPDIR=/tmp
fixedAddresses=(setarch "$(uname -m)" -R)
"${fixedAddresses[@]}" true 2>/dev/null || fixedAddresses=(env)

# TARGET RUNS: the target's fixed run, RUNS inputs in all, into a fresh corpus folder.
# TARGET SECONDS: open-ended.
fuzz() {
    local target=$1 log="$build/$1.log" status=0 corpus
    local common=(-max_len=32768 -timeout=10 -reload=0 -print_final_stats=1 -artifact_prefix="$build/findings/"
                  -seed_inputs=@"$inputs" -dict=fuzz/xml.dict)
    if $check; then
        corpus=$(TMPDIR=/tmp mktemp -d)
        echo "== $target: $2 runs from seed 1 =="
        # What differs from run to run stays out of the coverage that steers the mutations: the
        # operands of comparisons (names of temporary files, times of files) and, with address
        # space randomisation off, the order of addresses in the document's memory.
        "${fixedAddresses[@]}" "$build/$target" -seed=1 -runs="$2" -shuffle=0 -use_cmp=0 \
            "${common[@]}" "$corpus" >"$log" 2>&1 ||
            status=$?
        rm -rf "$corpus"
    else
        echo "== $target: fuzzing for $2 s =="
        "$build/$target" -max_total_time="$2" "${common[@]}" "$build/corpus/$target" >"$log" 2>&1 ||
            status=$?
    fi
    if [ "$status" -ne 0 ]; then
        tail -n 80 "$log" >&2
        echo "fuzz: $target FAILED (status $status); the input is in $build/findings/, the log in $log" >&2
        exit "$status"
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)' "$log"
}

mkdir -p "$build/corpus/tidyfuzz" "$build/corpus/tidyxmldiff"
if $check; then
    fuzz tidyfuzz 3000
    fuzz tidyxmldiff 5000
else
    fuzz tidyfuzz "$seconds"
    fuzz tidyxmldiff "$seconds"
    echo "corpus: $(find "$build/corpus" -type f | wc -l) inputs in $build/corpus"
fi
