#!/usr/bin/env bash
# Installs the Debian packages Tiv needs, and only those that are missing.
#   tools/deps.sh build   what building, testing and benchmarking need
#   tools/deps.sh run     that, plus what running the program on a desktop needs
set -euo pipefail

build_packages=(
    cmake make g++ pkg-config
    qt6-base-dev libqt6svg6
    libsqlcipher-dev sqlcipher sqlite3
    libssl-dev libbenchmark-dev
)
run_packages=(fonts-noto-cjk qt6-translations-l10n)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = run ]; then
    wanted+=("${run_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "tools/deps.sh: missing packages: ${missing[*]}; run this as root to install them." >&2
    exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
