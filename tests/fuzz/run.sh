#!/usr/bin/env bash
# Runs each fuzz target for a fixed number of inputs, starting from its seed corpus.
#   tests/fuzz/run.sh BUILD_DIR [RUNS] [SEED]
# BUILD_DIR is a tree configured with -DTIV_FUZZ=ON and built with --target fuzzers. What the targets learn
# is kept in BUILD_DIR/fuzz-corpus, so that a later run starts from there; an input that fails is written to
# BUILD_DIR/fuzz-artifacts and the script fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: tests/fuzz/run.sh BUILD_DIR [RUNS] [SEED]}" && pwd)"
runs="${2:-50000}"
seed="${3:-1}"

# A temporary directory of our own: the INI target writes tiv.ini there for every input, in memory when it can
# (every save is synced to disk).
parent="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && parent=/dev/shm
scratch="$(mktemp -d "$parent/tiv-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

status=0
for target in rtf ini remembered_name; do
    corpus="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts/$target/"
    mkdir -p "$corpus" "$artifacts"
    seeds=("$here/corpus/$target")
    # The word processors' files the RTF tests read are seeds too.
    [ "$target" = rtf ] && seeds+=("$here/../data/rtf")
    log="$build/fuzz-$target.log"
    started=$SECONDS
    if TMPDIR="$scratch" "$build/tests/fuzz/fuzz_$target" -runs="$runs" -seed="$seed" -timeout=10 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        echo "fuzz_$target: $runs runs in $((SECONDS - started)) s, no failure ($(find "$corpus" -type f | wc -l) inputs in its corpus)"
    else
        status=1
        echo "fuzz_$target FAILED; the last lines of $log:" >&2
        grep -v -e '^#[0-9]' -e '^libpng' "$log" | tail -40 >&2
        echo "reproduce with: $build/tests/fuzz/fuzz_$target $artifacts<file>" >&2
    fi
done
exit $status
