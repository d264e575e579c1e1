#!/usr/bin/env bash
# Fails when a source folder includes a folder that stands after it in the order of dependencies:
#   crypto -> storage -> state -> ui -> {security, tree, records} -> app -> main.cpp
# security, tree and records stand side by side and include none of each other.
set -euo pipefail
src="${1:-$(dirname "$0")/../src}"

rank() {
    case "$1" in
    crypto) echo 0 ;; storage) echo 1 ;; state) echo 2 ;; ui) echo 3 ;;
    security | tree | records) echo 4 ;; app) echo 5 ;; main.cpp) echo 6 ;;
    *) echo unknown ;;
    esac
}

status=0
while IFS= read -r line; do
    file="${line%%:*}"
    included="$(sed -E 's/^[^"]*"([^"/]+)\/.*/\1/' <<<"${line#*:}")"
    folder="${file#"$src"/}"
    folder="${folder%%/*}"
    [ "$included" = "$folder" ] && continue
    from="$(rank "$folder")"
    to="$(rank "$included")"
    if [ "$from" = unknown ] || [ "$to" = unknown ] || [ "$to" -ge "$from" ]; then
        echo "${file#"$src"/} includes $included/, which does not stand before $folder" >&2
        status=1
    fi
done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/' "$src" --include='*.cpp' --include='*.h')

[ "$status" -eq 0 ] && echo "include direction: every folder includes only folders before it"
exit "$status"
