#!/usr/bin/env bash
# The time from starting the program to its login window on screen, the median of a number of starts
# (default 10), under a private Xvfb display. Uses the database of tests/data, which holds an account,
# so the login window (not the first-run dialog) is what appears. The window is awaited by
# wait_for_window, which listens for it to be mapped rather than polling for it and so leaves both
# cores to the program. Needs xvfb; TIV=path measures another build of the program.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
tiv="${TIV:-$repo/build/src/tiv}"
waiter="$repo/build/bench/wait_for_window"
runs="${1:-10}"
command -v Xvfb >/dev/null || { echo "start_to_login.sh: Xvfb is needed (apt-get install xvfb)" >&2; exit 2; }
[ -x "$tiv" ] && [ -x "$waiter" ] || { echo "start_to_login.sh: build the program first (tools/build.sh)" >&2; exit 2; }

work="$(mktemp -d)"
display=":$((120 + RANDOM % 50))"
# -noreset: a server that resets when its last client leaves refuses connections meanwhile.
Xvfb "$display" -noreset -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
(umask 077 && mkdir -p "$work/data" && cp "$repo/tests/data/landed-account.dat" "$work/data/tiv.dat")

# Waits until the waiter has written its first line ("ready") to the file.
await_ready() {
    for _ in $(seq 1000); do
        [ -s "$1" ] && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.01
    done
    return 1
}

times=()
for _ in $(seq "$runs"); do
    # A loaded machine may take more than a second to bring the display up: the waiter retries.
    for _ in $(seq 100); do
        DISPLAY="$display" "$waiter" "澄岳个人信息管理安全版" >"$work/mapped" 2>/dev/null &
        waiter_pid=$!
        await_ready "$work/mapped" "$waiter_pid" && break
        sleep 0.05
    done
    start=$(date +%s%N)
    (cd "$work" && DISPLAY="$display" XDG_RUNTIME_DIR="$work" exec "$tiv") >/dev/null 2>&1 &
    pid=$!
    if ! wait "$waiter_pid"; then
        echo "start_to_login.sh: no login window appeared" >&2
        exit 1
    fi
    end=$(tail -n 1 "$work/mapped")
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    times+=($(((end - start) / 1000000)))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to login window: median ${sorted[$((runs / 2))]} ms over $runs starts (all: ${times[*]} ms)"
