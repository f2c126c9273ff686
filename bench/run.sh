#!/usr/bin/env bash
# Builds the benchmarks in Release and prints the performance table: conversions, response
# log, exchange path and tracking tick on the simulated library, the same on the real PC/SC
# stack with a zp-vcard card in the second virtual reader, and start-up.
#
#   bench/run.sh [--count N] [--rounds R] [--runs K]
#
# N exchanges per way of sending (default 1000), R rounds of them (default 5), K start-ups
# of each kind (default 9). Starts pcscd when none is running and zp-vcard, and stops what
# it started by process id. The table goes to standard output; progress to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."

COUNT=1000
ROUNDS=5
RUNS=9
while [ $# -gt 0 ]; do
    case "$1" in
    --count) COUNT=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    *) echo "usage: bench/run.sh [--count N] [--rounds R] [--runs K]" >&2; exit 2 ;;
    esac
done

BUILD_DIR=build-bench
READER="Virtual PCD 00 01" # slot 1: slot 0 is left to the test suites
SLOT=1
DEADLINE=20 # seconds for pcscd to list the readers and for a card to come or go
PCSCD_DIR=/run/pcscd

started_pids=()
scratch=$(mktemp -d)
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

cleanup() {
    local status=$?
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
    exit "$status"
}
trap cleanup EXIT

note() {
    echo "== $*" >&2
}

# Runs a benchmark program with its diagnostics kept aside; shows them when it fails.
run_quietly() {
    if ! "$@" 2>"$scratch/stderr"; then
        cat "$scratch/stderr" >&2
        echo "failed: $*" >&2
        exit 1
    fi
}

note "Packages"
scripts/install-deps.sh build run service bench >&2

note "Build (Release)"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZP_BENCH=ON >/dev/null
cmake --build "$BUILD_DIR" -j2 --target zp-bench zp-bench-pcsc zp-bench-startup \
    zp-readertest-sim zp-vcard >&2

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
bench_pcsc=("$BUILD_DIR/bench/zp-bench-pcsc" --reader "$READER")

note "PC/SC service"
# grep reads the whole list, so that the scanner never dies of a closed pipe.
reader_listed() {
    timeout 5 pcsc_scan -r 2>/dev/null | grep -F "$READER" >/dev/null
}
if ! pgrep -x -r RSD pcscd >/dev/null; then
    mkdir -p "$PCSCD_DIR"
    rm -f "$PCSCD_DIR/pcscd.comm" "$PCSCD_DIR/pcscd.pid"
    pcscd -f >"$scratch/pcscd.log" 2>&1 &
    started_pids+=($!)
    note "started pcscd (pid $!)"
fi
deadline=$((SECONDS + DEADLINE))
until reader_listed; do
    if [ $SECONDS -ge $deadline ]; then
        echo "The PC/SC service does not list \"$READER\"." >&2
        exit 1
    fi
    sleep 0.2
done
if ! "${bench_pcsc[@]}" --wait absent 1 2>/dev/null; then
    echo "\"$READER\" already holds a card: something else is using slot $SLOT." >&2
    exit 1
fi

table="$scratch/table.md"
{
    echo "| part | measurement | value | target | met |"
    echo "| --- | --- | ---: | --- | --- |"
} >"$table"

note "Conversions, response log, simulated library"
run_quietly "$BUILD_DIR/bench/zp-bench" >>"$table"

note "Tracking tick on the real stack, no card"
run_quietly "${bench_pcsc[@]}" --ticks-without-card >>"$table"

note "Real stack: zp-vcard in slot $SLOT, $ROUNDS rounds of $COUNT exchanges"
"$BUILD_DIR/tools/zp-vcard" --slot "$SLOT" --card cpu-t1 >"$scratch/zp-vcard.log" 2>&1 &
vcard_pid=$!
started_pids+=("$vcard_pid")
if ! "${bench_pcsc[@]}" --wait present "$DEADLINE" 2>/dev/null; then
    cat "$scratch/zp-vcard.log" >&2
    echo "The zp-vcard card did not appear in \"$READER\"." >&2
    exit 1
fi
run_quietly "${bench_pcsc[@]}" --count "$COUNT" --rounds "$ROUNDS" >>"$table"
kill "$vcard_pid"
wait "$vcard_pid" 2>/dev/null || true
"${bench_pcsc[@]}" --wait absent "$DEADLINE" 2>/dev/null || true

note "Start-up, $RUNS runs of each"
run_quietly "$BUILD_DIR/bench/zp-bench-startup" --program "$BUILD_DIR/zp-readertest-sim" \
    --runs "$RUNS" >>"$table"

cpu=$(grep -m1 "model name" /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
memory=$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)
echo "Machine: $(nproc) x $cpu, $memory, Linux $(uname -r);" \
    "Qt $(pkg-config --modversion Qt6Widgets), pcsc-lite $(pkg-config --modversion libpcsclite);" \
    "load average $load_at_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end."
echo
cat "$table"
