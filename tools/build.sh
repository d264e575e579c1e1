#!/usr/bin/env bash
# Configures and builds Tiv in build/ (optimised, with debug information).
#   TIV_WERROR=ON   warnings are errors, with the stricter warnings CI keeps the code clean of (the choice stays
#                   in build/ until it is made again)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TIV_WERROR:+-DTIV_WERROR="$TIV_WERROR"} >/dev/null
cmake --build build -j"$(nproc)"
