#!/usr/bin/env bash
# The time from starting the program to its login window on screen, the median of a number of starts
# (default 10), under a private Xvfb display. Uses the database of tests/data, which holds an account,
# so the login window (not the first-run dialog) is what appears. Needs xvfb and xdotool.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
tiv="$repo/build/src/tiv"
runs="${1:-10}"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "start_to_login.sh: $tool is needed (apt-get install xvfb xdotool)" >&2; exit 2; }
done
[ -x "$tiv" ] || { echo "start_to_login.sh: build the program first (tools/build.sh)" >&2; exit 2; }

work="$(mktemp -d)"
display=":$((120 + RANDOM % 50))"
Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
(umask 077 && mkdir -p "$work/data" && cp "$repo/tests/data/landed-account.dat" "$work/data/tiv.dat")

times=()
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    (cd "$work" && DISPLAY="$display" XDG_RUNTIME_DIR="$work" exec "$tiv") >/dev/null 2>&1 &
    pid=$!
    until DISPLAY="$display" xdotool search --onlyvisible --name "澄岳个人信息管理安全版" >/dev/null 2>&1; do
        sleep 0.002
    done
    end=$(date +%s%N)
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
    times+=($(((end - start) / 1000000)))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to login window: median ${sorted[$((runs / 2))]} ms over $runs starts (all: ${times[*]} ms)"
