#!/usr/bin/env bash
# The crash test: a child process that saves records, changes folders, the policy, the profile and tiv.ini is
# killed with SIGKILL at random moments, and the files are checked after each kill (tests/crash/crashtest.cpp).
# Then a child that converts the database to a vault, re-keys it and converts it back is killed a fifth as often, and
# so is one that restores backups over the database.
#   tests/crash/run.sh BUILD_DIR [KILLS] [SEED]
set -euo pipefail
build="${1:?usage: tests/crash/run.sh BUILD_DIR [KILLS] [SEED]}"
kills="${2:-300}"
seed="${3:-$RANDOM$RANDOM}"
work="$(mktemp -d "${TMPDIR:-/tmp}/tiv-crash.XXXXXX")"
echo "crash test: $kills kills, seed $seed"
if "$build/tests/tiv-crashtest" "$work/run" "$kills" "$seed" &&
    "$build/tests/tiv-crashtest" --vault "$work/vault" "$(( (kills + 4) / 5 ))" "$seed" &&
    "$build/tests/tiv-crashtest" --restore "$work/restore" "$(( (kills + 4) / 5 ))" "$seed"; then
    rm -rf "$work"
else
    echo "crash test FAILED; its files are kept in $work (seed $seed)" >&2
    exit 1
fi
