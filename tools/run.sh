#!/usr/bin/env bash
# Installs what is missing, builds, prepares the working directory and starts Tiv in it.
#   TIV_HOME   the working directory (default ~/.local/share/tiv)
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
tools/deps.sh run
tools/build.sh

home="${TIV_HOME:-$HOME/.local/share/tiv}"
# The working directory, the database and the backups are the user's alone from the start.
(umask 077 && mkdir -p "$home/data" "$home/backup")
chmod 700 "$home"
if [ ! -e "$home/data/tiv.dat" ]; then
    build/tools/tiv-newdb "$home/data/tiv.dat"
fi
if [ -x build/src/tiv ]; then
    cd "$home"
    exec "$repo/build/src/tiv"
fi
echo "Working directory ready: $home"
