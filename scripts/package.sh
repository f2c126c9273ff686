#!/usr/bin/env bash
# Builds the Debian package zp-readertest_<version>_<arch>.deb with CPack's DEB generator from
# a Release build of its own, compiled with Debian's hardening flags (dpkg-buildflags); the
# package's library dependencies come from dpkg-shlibdeps. Prints the package's path last.
# Usage: scripts/package.sh [BUILD_DIR]   (build-package unless told; run from anywhere)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${1:-build-package}

scripts/install-deps.sh build package

# Every hardening feature (bindnow as well); no debug information, it would only be
# stripped again.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZP_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$BUILD_DIR" -j2

rm -f "$BUILD_DIR"/zp-readertest_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
packages=("$BUILD_DIR"/zp-readertest_*.deb)
if [ ${#packages[@]} -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    echo "cpack made no zp-readertest package in $BUILD_DIR" >&2
    exit 1
fi
echo "${packages[0]}"
