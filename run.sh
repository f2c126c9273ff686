#!/usr/bin/env bash
# Builds the tester in Release and starts it on the built-in simulated reader.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh build run

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    scripts/install-deps.sh display # so that the command named below works
    echo "No display to show the program on; run it under a virtual one: xvfb-run -a ./run.sh" >&2
    exit 1
fi

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build build-release --target zp-readertest-sim zp-readertest
exec build-release/zp-readertest-sim "$@"
