#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS seconds over a copy of its seed corpus, so that the runs do not
# grow the repository. Exits non-zero when any target finds a crash, a sanitizer report, a
# failed check, a leak or a hang; the inputs that did are kept under the build directory.
#   tests/fuzz/run.sh SECONDS [TARGET...]       (default: every target)
# ZP_FUZZ_BUILD_DIR chooses the build directory (default: build-fuzz in the repository).
set -euo pipefail

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${ZP_FUZZ_BUILD_DIR:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in "$here"/*Fuzzer.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for target in "${targets[@]}"; do
    corpus="$scratch/corpus-$target"
    mkdir -p "$corpus"
    if [ -d "$here/corpus/$target" ]; then
        cp "$here/corpus/$target"/* "$corpus"/
    fi
    findings="$build/findings/$target"
    mkdir -p "$findings"
    flags=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1
        -artifact_prefix="$findings/")
    # Qt keeps caches of its own across inputs, which would make every input look like a
    # leak and run a full leak scan; the scan at exit still runs.
    if [ "$target" = DataDialogFuzzer ]; then
        flags+=(-detect_leaks=0)
    fi
    log="$scratch/$target.log"
    result=ok
    if ! "$build/$target" "${flags[@]}" "$corpus" >"$log" 2>&1; then
        result=FINDING
        status=1
        tail -n 40 "$log" >&2
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "$target: ${runs:-?} executions in ${seconds} s, $result"
done
exit $status
