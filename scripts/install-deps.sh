#!/usr/bin/env bash
# Installs the Debian packages of the named groups of scripts/packages.list, when missing.
# Usage: scripts/install-deps.sh GROUP...         (idempotent; root directly, sudo otherwise)
#        scripts/install-deps.sh --print GROUP...  prints the groups' packages, one a line
# The group "all" names every group of the list.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
LIST="$here/packages.list"

print=0
if [ "${1:-}" = "--print" ]; then
    print=1
    shift
fi
if [ $# -eq 0 ]; then
    echo "usage: scripts/install-deps.sh [--print] GROUP..." >&2
    exit 2
fi

# The packages of the groups given, in list order; an unknown group is an error.
packages_of() {
    awk -v wanted=" $* " '
        /^[[:space:]]*(#|$)/ { next }
        /^\[.*\]$/ { group = substr($0, 2, length($0) - 2); known[group] = 1; next }
        index(wanted, " all ") || index(wanted, " " group " ") { print $1 }
        END {
            n = split(wanted, names, " ")
            for (i = 1; i <= n; i++) {
                if (names[i] != "all" && !(names[i] in known)) {
                    print "no group [" names[i] "] in '"$LIST"'" > "/dev/stderr"
                    failed = 1
                }
            }
            exit failed
        }' "$LIST"
}

listed=$(packages_of "$@")
mapfile -t packages <<<"$listed"
if [ $print -eq 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
