#!/usr/bin/env bash
# Installs what is missing, builds, prepares the working directory and starts Tiv in it.
#   TIV_HOME   the working directory (default ~/.local/share/tiv)
# Tiv runs as the user who runs this script; only the package installation runs as root (through sudo). Run
# through sudo, the script builds and starts Tiv as the user who called sudo: a desktop program never runs as
# root because its installer needed to.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh run
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    exec sudo -u "$SUDO_USER" -H --preserve-env=TIV_HOME,DISPLAY,WAYLAND_DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR \
        "$(pwd)/tools/run.sh"
fi
tools/build.sh
# The launcher the package installs, on the programs just built.
TIV_PROGRAM="$(pwd)/build/src/tiv" TIV_NEWDB="$(pwd)/build/tools/tiv-newdb" exec tools/tiv-launch
