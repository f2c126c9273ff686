#!/usr/bin/env bash
# Checks what installing and packaging deliver. Installs the build in BUILD_DIR into a
# scratch DESTDIR under the prefix /usr/local: every installed file is there, each program
# answers --version and --help without a display, the version is the project's everywhere,
# the simulator starts offscreen and stays up, the desktop entries and the AppStream
# metainfo validate. Then builds the Debian package (scripts/package.sh): its contents, its
# computed dependencies, lintian without errors, and its simulator run from a scratch root
# it is unpacked into. Removes its scratch directories. Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${1:?usage: scripts/check-install.sh BUILD_DIR}
PROGRAM_DEADLINE=30 # seconds a program may take to answer --version or --help
STAY_UP_SECONDS=3   # how long the simulator must run offscreen
PROGRAMS=(zp-readertest zp-readertest-sim zp-readertest-cli zp-vcard)
# Every installed file, below the prefix.
FILES=(
    bin/zp-readertest bin/zp-readertest-sim bin/zp-readertest-cli bin/zp-vcard
    share/applications/zp-readertest.desktop share/applications/zp-readertest-sim.desktop
    share/metainfo/org.example.zp_readertest.metainfo.xml
    share/icons/hicolor/scalable/apps/zp-readertest.svg
    share/man/man1/zp-readertest.1.gz share/man/man1/zp-readertest-sim.1.gz
    share/man/man1/zp-readertest-cli.1.gz share/man/man1/zp-vcard.1.gz
    share/doc/zp-readertest/copyright share/doc/zp-readertest/changelog.gz
)
ICON_SIZES=(16 22 24 32 48 64 128 256)
for size in "${ICON_SIZES[@]}"; do
    FILES+=("share/icons/hicolor/${size}x${size}/apps/zp-readertest.png")
done

scratch=$(mktemp -d)
running_pid=""
cleanup() {
    local status=$?
    if [ -n "$running_pid" ]; then
        kill "$running_pid" 2>/dev/null || true
        wait "$running_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "check-install: $*" >&2
    exit 1
}

# Runs a program with a deadline and no display, so that a program that needs one fails.
run_bounded() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout "$PROGRAM_DEADLINE" "$@"
}

# The programs in BIN_DIR answer --version with their name and the project's version, and
# --help with their usage.
check_answers() {
    local bin_dir=$1 program answer
    for program in "${PROGRAMS[@]}"; do
        answer=$(run_bounded "$bin_dir/$program" --version) || fail "$program --version failed"
        [ "$answer" = "$program $version" ] ||
            fail "$program --version answered '$answer', not '$program $version'"
        answer=$(run_bounded "$bin_dir/$program" --help) || fail "$program --help failed"
        grep -q "^Usage: .*$program \[options\]" <<<"$answer" ||
            fail "$program --help printed no usage: $answer"
    done
}

# The simulator started with Qt's own -platform option runs for STAY_UP_SECONDS.
check_stays_up() {
    local program=$1 log="$scratch/stays-up.log"
    "$program" -platform offscreen >"$log" 2>&1 &
    running_pid=$!
    sleep "$STAY_UP_SECONDS"
    if ! kill -0 "$running_pid" 2>/dev/null; then
        cat "$log" >&2
        fail "$program ended within $STAY_UP_SECONDS s"
    fi
    kill "$running_pid"
    wait "$running_pid" 2>/dev/null || true
    running_pid=""
    echo "$program stayed up ${STAY_UP_SECONDS} s offscreen"
}

version=$(sed -n 's/^project(zp-readertest VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in the project() line of CMakeLists.txt"

# Plain install.
prefix="$scratch/destdir/usr/local"
DESTDIR="$scratch/destdir" cmake --install "$BUILD_DIR" --prefix /usr/local >/dev/null
for file in "${FILES[@]}"; do
    [ -e "$prefix/$file" ] || fail "not installed: /usr/local/$file"
done
for size in "${ICON_SIZES[@]}"; do
    [[ "$(file -b "$prefix/share/icons/hicolor/${size}x${size}/apps/zp-readertest.png")" == \
        "PNG image data, $size x $size,"* ]] || fail "the ${size}x${size} icon has another size"
done
echo "${#FILES[@]} files installed under DESTDIR/usr/local"

check_answers "$prefix/bin"
# Read whole before matching: grep -q ending early would break a pipe under pipefail.
manual=$(zcat "$prefix/share/man/man1/zp-readertest.1.gz")
grep -q "^\.TH .*\"ZP Reader Tester $version\"" <<<"$manual" || fail "the manual page names another version"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/org.example.zp_readertest.metainfo.xml" ||
    fail "the metainfo lists no release $version"
changelog=$(zcat "$prefix/share/doc/zp-readertest/changelog.gz")
[[ "$changelog" == "zp-readertest ($version) "* ]] || fail "the changelog's newest entry is not $version"
echo "version $version everywhere"
check_stays_up "$prefix/bin/zp-readertest-sim"
# The console program runs where no Qt Widgets are installed.
if readelf -d "$prefix/bin/zp-readertest-cli" | grep -q 'libQt6Widgets\|libQt6Gui'; then
    fail "zp-readertest-cli links Qt Gui or Widgets"
fi
cli_list=$(run_bounded "$prefix/bin/zp-readertest-cli" list --simulated) ||
    fail "zp-readertest-cli list --simulated failed"
[[ "$cli_list" == "[0] ZP Simulated Reader 0: 3B "* ]] || fail "zp-readertest-cli list answered '$cli_list'"

desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.zp_readertest.metainfo.xml"

# The Debian package.
package_started=$SECONDS
if ! scripts/package.sh >"$scratch/package.log" 2>&1; then
    cat "$scratch/package.log" >&2
    fail "scripts/package.sh failed"
fi
deb=$(tail -n 1 "$scratch/package.log")
[ "$(basename "$deb")" = "zp-readertest_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected package name $deb"
echo "built $deb ($(stat -c %s "$deb") bytes) in $((SECONDS - package_started)) s"

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for file in "${FILES[@]}"; do
    grep -qxF "./usr/$file" "$scratch/contents" || fail "not in the package: /usr/$file"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libpcsclite1 libqt6core6 libqt6widgets6; do
    grep -qE "(^|, )$library \(>= " <<<"$depends" || fail "Depends names no version of $library"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "pcscd, pcsc-tools" ] || fail "Recommends is not 'pcscd, pcsc-tools'"

lintian_status=0
lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || lintian_status=$?
grep -v "running with root privileges" "$scratch/lintian.log" || echo "lintian: no errors or warnings"
[ $lintian_status -eq 0 ] || fail "lintian found errors"

root="$scratch/unpacked"
dpkg -x "$deb" "$root"
check_answers "$root/usr/bin"
check_stays_up "$root/usr/bin/zp-readertest-sim"
echo "install and package checks took $SECONDS s"
