#!/usr/bin/env bash
# Checks that a build used no system file that the package list leaves out: a fresh machine,
# which has only what scripts/packages.list installs, could not build otherwise. The files
# are the headers every object was compiled with (ninja -t deps), the CMake package files the
# configure step read (the *_DIR entries of CMakeCache.txt) and the shared libraries the
# built programs need (readelf -d, resolved with ldconfig -p). Each file's package (dpkg -S)
# must be listed, or be a dependency of a listed package, followed recursively over the
# installed packages; Essential packages count as present. Names each package missing from
# the list, with one file that needed it.
# Usage: scripts/check-deps.sh BUILD_DIR     (exit 0 kept, 1 a package missing, 2 usage)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

BUILD_DIR=${1:?usage: scripts/check-deps.sh BUILD_DIR}
[ -f "$BUILD_DIR/CMakeCache.txt" ] || {
    echo "check-deps: $BUILD_DIR holds no configured build" >&2
    exit 2
}
build=$(cd "$BUILD_DIR" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The system files: absolute paths outside the source tree and the build.
outside_tree() {
    grep -E '^/' | grep -vE "^($root|$build)/" | sort -u
}

ninja -C "$build" -t deps | sed -n 's/^ \+//p' | outside_tree >"$scratch/headers"

# A package's directory holds NameConfig.cmake or name-config.cmake.
sed -n 's/^\([A-Za-z0-9_]*\)_DIR:PATH=\(\/.*\)$/\1 \2/p' "$build/CMakeCache.txt" |
    while read -r name dir; do
        for file in "$dir/${name}Config.cmake" "$dir/${name,,}-config.cmake"; do
            if [ -f "$file" ]; then echo "$file"; fi
        done
    done | outside_tree >"$scratch/cmake"

ldconfig -p | sed -n 's/^\t\([^ ]*\) (\([^)]*\)) => \(.*\)$/\1 \2 \3/p' |
    awk '$2 ~ /x86-64|^libc6$/ && !seen[$1]++ { print $1, $3 }' >"$scratch/ldcache"
find "$build" -type f -perm -u+x -print0 | while IFS= read -r -d '' file; do
    readelf -d "$file" 2>/dev/null | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
done | sort -u >"$scratch/needed"
awk 'NR == FNR { path[$1] = $2; next }
     $1 in path { print path[$1]; next }
     { print "unresolved library " $1 > "/dev/stderr"; bad = 1 }
     END { exit bad }' "$scratch/ldcache" "$scratch/needed" >"$scratch/libraries"

cat "$scratch/headers" "$scratch/cmake" "$scratch/libraries" >"$scratch/files"
echo "checking $(wc -l <"$scratch/headers") headers, $(wc -l <"$scratch/cmake") CMake" \
    "package files, $(wc -l <"$scratch/libraries") shared libraries"

# Each file's owners, "pkg[, pkg]: path". dpkg knows a merged-/usr file by the path its
# package shipped, so a path it does not know is asked again in the other spelling.
owners_of() {
    xargs -r -d '\n' dpkg -S 2>/dev/null | grep -v '^diversion by' || true
}
owners_of <"$scratch/files" >"$scratch/owned"
awk -F': ' 'NR == FNR { owned[$2] = 1; next } !($0 in owned)' "$scratch/owned" "$scratch/files" |
    while read -r path; do
        case "$path" in
        /usr/lib/* | /usr/bin/* | /usr/sbin/*) echo "${path#/usr} $path" ;;
        /lib/* | /bin/* | /sbin/*) echo "/usr$path $path" ;;
        *) echo "$(readlink -f "$path") $path" ;;
        esac
    done >"$scratch/respelled"
cut -d' ' -f1 "$scratch/respelled" | owners_of |
    awk -F': ' 'NR == FNR { split($0, spelled, " "); asked[spelled[1]] = spelled[2]; next }
                { print $1 ": " asked[$2] }' "$scratch/respelled" - >>"$scratch/owned"
unowned=0
awk -F': ' 'NR == FNR { owned[$2] = 1; next }
            !($0 in owned) { print "no package owns " $0; bad = 1 }
            END { exit bad }' "$scratch/owned" "$scratch/files" >&2 || unowned=1

# Every package the list brings in: the listed ones, the Essential ones and, recursively,
# what they depend on (any installed alternative, and the installed providers of a
# virtual package).
scripts/install-deps.sh --print all >"$scratch/listed"
dpkg-query -W -f='${db:Status-Abbrev}\t${Package}\t${Essential}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
    awk -F'\t' '$1 ~ /^ii/' >"$scratch/installed"
awk -F'\t' '
    function bare(name) {
        sub(/\(.*/, "", name); gsub(/[[:space:]]/, "", name); sub(/:.*/, "", name)
        return name
    }
    function bring(pkg,    groups, alternatives, n, m, i, j, name, p, k) {
        if (pkg in present || !(pkg in depends)) return
        present[pkg] = 1
        n = split(depends[pkg], groups, ",")
        for (i = 1; i <= n; i++) {
            m = split(groups[i], alternatives, "|")
            for (j = 1; j <= m; j++) {
                name = bare(alternatives[j])
                if (name == "") continue
                bring(name)
                k = split(providers[name], p, " ")
                while (k > 0) bring(p[k--])
            }
        }
    }
    FILENAME ~ /installed$/ {
        depends[$2] = $5
        if ($3 == "yes") essential[$2] = 1
        n = split($4, provided, ",")
        for (i = 1; i <= n; i++) providers[bare(provided[i])] = providers[bare(provided[i])] " " $2
        next
    }
    { listed[$1] = 1 }
    END {
        for (pkg in listed) bring(pkg)
        for (pkg in essential) bring(pkg)
        for (pkg in present) print pkg
    }' "$scratch/installed" "$scratch/listed" | sort >"$scratch/present"

# A file is covered when any of its owners is present; a missing owner a line.
awk -F': ' '
    NR == FNR { present[$1] = 1; next }
    {
        n = split($1, owners, ", ")
        for (i = 1; i <= n; i++) { sub(/:.*/, "", owners[i]); if (owners[i] in present) next }
        if (!(owners[1] in example)) example[owners[1]] = $2
    }
    END { for (pkg in example) print pkg " (" example[pkg] ")" }' \
    "$scratch/present" "$scratch/owned" | sort >"$scratch/missing"

if [ -s "$scratch/missing" ]; then
    echo "The build used files of packages that scripts/packages.list does not bring in:" >&2
    sed 's/^/  /' "$scratch/missing" >&2
    exit 1
fi
if [ $unowned -eq 1 ]; then
    echo "The build used system files that no package owns (see above)." >&2
    exit 1
fi
echo "every system file the build used comes from a listed package or its dependencies"
