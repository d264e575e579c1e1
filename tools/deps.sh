#!/usr/bin/env bash
# Installs the Debian packages Tiv needs, and only those that are missing. Only the installation runs as root:
# through sudo when this script is not run by root.
#   tools/deps.sh build     what building, testing (with the sanitizers and the fuzz targets) and benchmarking need
#   tools/deps.sh run       that, plus what running the program on a desktop needs
#   tools/deps.sh package   that, plus what building the Debian package needs
set -euo pipefail

build_packages=(
    cmake make g++ pkg-config libxcb1-dev
    qt6-base-dev libqt6svg6
    libsqlcipher-dev sqlcipher sqlite3 libargon2-dev
    libssl-dev libbenchmark-dev libicu-dev libzxcvbn-dev
    clang libclang-rt-dev
    poppler-utils  # pdfinfo and pdftotext read the exported PDF back in the tests
)
run_packages=(fonts-noto-cjk qt6-translations-l10n)
package_packages=(dpkg-dev file)

wanted=("${build_packages[@]}")
case "${1:-build}" in
    run) wanted+=("${run_packages[@]}") ;;
    package) wanted+=("${package_packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "tools/deps.sh: missing packages: ${missing[*]}; install them as root (there is no sudo)." >&2
        exit 1
    fi
    as_root=(sudo)
fi
echo "Installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
