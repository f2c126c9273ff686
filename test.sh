#!/usr/bin/env bash
# Installs what building and testing need (every group of scripts/packages.list), checks the
# formatting, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (the
# benchmarks too, which only compile here), checks that the build used no package the list
# leaves out, starts the PC/SC service with its virtual readers and runs every test suite.
# Run from anywhere; idempotent.
# Under CI=true the real-stack suite (label pcsc) must run; elsewhere it is left out,
# with a notice, when the PC/SC service cannot be started. Last, every fuzz target runs
# for a short bounded time.
set -euo pipefail
cd "$(dirname "$0")"

BUILD_DIR=build-test
READER="Virtual PCD 00 00"
SERVICE_DEADLINE=20 # seconds for the PC/SC service to list the virtual readers
FUZZ_SECONDS=20     # seconds each fuzz target runs over its seed corpus
PCSCD_DIR=/run/pcscd

started_pids=()
scratch=""
pcscd_pid=""

cleanup() {
    local status=$?
    for pid in "${started_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$pcscd_pid" ]; then
        stop_restarted_service
    fi
    if [ -n "$scratch" ]; then
        rm -rf "$scratch"
    fi
    exit "$status"
}
trap cleanup EXIT

# A test may have stopped the service started here and started another in its place, in
# the background; that one names itself in the service's pid file.
stop_restarted_service() {
    local pid
    pid=$(tr -d '\0' <"$PCSCD_DIR/pcscd.pid" 2>/dev/null) || return 0
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pcscd ]; then
        kill "$pid" 2>/dev/null || true
        timeout 10 tail --pid="$pid" -f /dev/null || true
    fi
}

step() {
    echo "== $*"
}

step "Packages"
scripts/install-deps.sh all

step "Formatting"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t candidates < <(git ls-files --cached --others --exclude-standard -- \
        src tests tools bench)
else
    mapfile -t candidates < <(find src tests tools bench -type f 2>/dev/null)
fi
sources=()
for file in "${candidates[@]}"; do
    case "$file" in
    *.cpp | *.h) [ -f "$file" ] && sources+=("$file") ;;
    esac
done
if [ ${#sources[@]} -gt 0 ]; then
    if ! clang-format --dry-run --Werror "${sources[@]}"; then
        echo "Formatting check failed: run clang-format -i on the files above." >&2
        exit 1
    fi
fi
echo "${#sources[@]} files formatted"

step "Build (sanitizers)"
cmake -S . -B "$BUILD_DIR" -G Ninja -DZP_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DZP_BENCH=ON \
    >/dev/null
cmake --build "$BUILD_DIR" -j2

step "Dependencies"
scripts/check-deps.sh "$BUILD_DIR"

step "Layers"
# The core, simulator and insight suites link neither the widget toolkit nor the PC/SC
# client, and only src/pcsc/ (with its own tests and benchmark) includes the PC/SC headers.
for suite in test_common test_session test_sim test_insight; do
    if readelf -d "$BUILD_DIR/tests/$suite" | grep -E 'NEEDED.*(libQt6Widgets|libpcsclite)'; then
        echo "$suite needs a library outside its layer" >&2
        exit 1
    fi
done
pcsc_backend='^(src/pcsc/|tests/backend/|bench/(PcscBench|StressBench)\.cpp)'
if grep -rlE '^\s*#\s*include\s*[<"](PCSC/)?(winscard|pcsclite)\.h[>"]' src tests tools bench |
    grep -vE "$pcsc_backend"; then
    echo "the files above include the PC/SC headers outside src/pcsc/" >&2
    exit 1
fi
echo "layers kept"

step "PC/SC service"
# grep reads the whole list, so that the scanner never dies of a closed pipe.
readers_listed() {
    timeout 5 pcsc_scan -r 2>/dev/null | grep -F "$READER" >/dev/null
}

# Starts pcscd in the foreground of a background job unless one is running; a socket
# left behind by a service that is gone would make it refuse to start.
start_service() {
    if pgrep -x -r RSD pcscd >/dev/null; then
        return 0
    fi
    mkdir -p "$PCSCD_DIR" || return 1
    rm -f "$PCSCD_DIR/pcscd.comm" "$PCSCD_DIR/pcscd.pid"
    pcscd -f >"$scratch/pcscd.log" 2>&1 &
    pcscd_pid=$!
    started_pids+=("$pcscd_pid")
    echo "started pcscd (pid $pcscd_pid)"
}

# Polls until the readers are listed, the deadline passes or the service started here ends.
wait_for_readers() {
    local deadline=$((SECONDS + SERVICE_DEADLINE))
    until readers_listed; do
        if [ $SECONDS -ge $deadline ]; then
            return 1
        fi
        if [ -n "$pcscd_pid" ] && ! kill -0 "$pcscd_pid" 2>/dev/null; then
            return 1
        fi
        sleep 0.2
    done
}

scratch=$(mktemp -d)
service_ready=0
if readers_listed || { start_service && wait_for_readers; }; then
    service_ready=1
fi

ctest_args=(--test-dir "$BUILD_DIR" --output-on-failure)
if [ $service_ready -eq 1 ]; then
    echo "virtual readers listed"
    # The emulator of the virtual card runs on the system's Python; its crypto imports
    # are satisfied from the Debian package under its other name.
    ln -s /usr/lib/python3/dist-packages/Cryptodome "$scratch/Crypto"
    export ZP_VICC_PYTHONPATH="/usr/lib/python3/site-packages/virtualsmartcard:$scratch"
    export ZP_PCSC_READY=1
    # The service was started here, so a test may stop it and start it again.
    if [ -n "$pcscd_pid" ]; then
        export ZP_PCSC_RESTARTABLE=1
    fi
elif [ "${CI:-}" = "true" ]; then
    echo "The PC/SC service with the virtual readers could not be started." >&2
    [ -f "$scratch/pcscd.log" ] && cat "$scratch/pcscd.log" >&2
    exit 1
else
    echo "NOTICE: the PC/SC service could not be started; the real-stack suite (pcsc) is left out."
    ctest_args+=(-LE pcsc)
fi

step "Tests"
ctest "${ctest_args[@]}"

step "Install and package"
scripts/check-install.sh "$BUILD_DIR"

step "Fuzzing (${FUZZ_SECONDS} s a target)"
tests/fuzz/run.sh "$FUZZ_SECONDS"
