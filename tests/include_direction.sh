#!/usr/bin/env bash
# Fails when a source folder includes a folder that stands after it in the order of dependencies:
#   crypto -> storage -> state -> ui -> {security, tree, records} -> app -> main.cpp
# security, tree and records stand side by side and include none of each other.
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"
cd "$src"

grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/' --include='*.cpp' --include='*.h' . |
    awk '
    BEGIN {
        split("crypto storage state ui security tree records app main.cpp", names, " ")
        split("0 1 2 3 4 4 4 5 6", ranks, " ")
        for (i in names) rank[names[i]] = ranks[i]
    }
    {
        file = substr($0, 3, index($0, ":") - 3)          # "./folder/File.cpp:..." -> "folder/File.cpp"
        folder = file; sub(/\/.*/, "", folder)
        included = $0; sub(/^[^"]*"/, "", included); sub(/\/.*/, "", included)
        if (included == folder) next
        if (!(folder in rank) || !(included in rank) || rank[included] >= rank[folder]) {
            print file " includes " included "/, which does not stand before " folder > "/dev/stderr"
            failed = 1
        }
    }
    END {
        if (failed) exit 1
        print "include direction: every folder includes only folders before it"
    }'
