#!/usr/bin/env bash
# Measures the stress runs' figures in docs/performance.md ("Stress runs") with a Release
# build in build-bench/: loop overhead and throughput on zp-vcard T=1 cards in the two
# virtual readers of a running pcscd (both must be empty), memory and responsiveness on
# simulated readers (offscreen). Starts zp-vcard and stops it by process id.
#
#   bench/stress.sh [--count N] [--rounds R] [--seconds S]
set -euo pipefail
cd "$(dirname "$0")/.."

COUNT=2000
ROUNDS=5
SECONDS_EACH=5
while [ $# -gt 0 ]; do
    case "$1" in
    --count) COUNT=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --seconds) SECONDS_EACH=$2; shift 2 ;;
    *) echo "usage: bench/stress.sh [--count N] [--rounds R] [--seconds S]" >&2; exit 2 ;;
    esac
done

BUILD_DIR=build-bench
FIRST="Virtual PCD 00 00"
SECOND="Virtual PCD 00 01"
started_pids=()
cleanup() {
    local status=$?
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    exit "$status"
}
trap cleanup EXIT

scripts/install-deps.sh build run service bench >&2
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZP_BENCH=ON \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$BUILD_DIR" --target zp-bench-stress zp-vcard >&2
bench="$BUILD_DIR/bench/zp-bench-stress"
export QT_QPA_PLATFORM=offscreen

echo "machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" memory --count 1000000
"$bench" responsiveness --readers 4 --seconds "$SECONDS_EACH"

for slot in 0 1; do
    "$BUILD_DIR/tools/zp-vcard" --slot "$slot" --card cpu-t1 >/dev/null &
    started_pids+=($!)
done
# The cards are in once one exchange on each reader succeeds.
for reader in "$FIRST" "$SECOND"; do
    for _ in $(seq 100); do
        "$bench" overhead --reader "$reader" --count 1 --rounds 1 >/dev/null 2>&1 && break
        sleep 0.2
    done
done
"$bench" overhead --reader "$SECOND" --count "$COUNT" --rounds "$ROUNDS"
"$bench" throughput --reader "$FIRST" --seconds "$SECONDS_EACH"
"$bench" throughput --reader "$FIRST" --reader "$SECOND" --seconds "$SECONDS_EACH"
"$bench" throughput --reader "$FIRST" --reader "$FIRST" --reader "$SECOND" --reader "$SECOND" \
    --seconds "$SECONDS_EACH"
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"
