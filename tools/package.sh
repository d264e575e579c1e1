#!/usr/bin/env bash
# Builds the Debian package of Tiv in build/ from the install rules. Install it with
#   sudo apt install ./build/tiv_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh package
tools/build.sh
(cd build && cpack -G DEB >/dev/null)
deb="$(ls build/tiv_*.deb)"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$'
echo "Built $deb"
