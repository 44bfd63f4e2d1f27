#!/usr/bin/env bash
# Installs the Debian 12 packages Tessaly needs to build, run and test,
# skipping any that are already there. Run as root or with sudo available.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libqt6test6 libqt6network6
    libcurl4-openssl-dev libssl-dev libjpeg-dev zlib1g-dev openssl
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format
    nginx python3-pyftpdlib python3-openssl libxml2-utils libxml2-dev curl hyperfine time
    desktop-file-utils appstream man-db lintian dpkg-dev wget2
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
install() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
install "${packages[@]}"
# libFuzzer comes with the runtime of whichever clang is installed.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)
[ -n "$clang_major" ] && install "libclang-rt-${clang_major}-dev"
exit 0
