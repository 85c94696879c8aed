#!/usr/bin/env bash
# Installs the Debian packages the build, tests, tools and benchmarks need.
# Only packages that are missing are installed, so a prepared machine pays nothing.
set -euo pipefail

PACKAGES=(
    cmake g++ make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libsndfile1-dev
    zlib1g-dev libpng-dev libjpeg62-turbo-dev libfreetype-dev fonts-dejavu-core
    libx11-dev libxtst-dev xvfb xauth
    libasound2-dev
    clang libclang-rt-14-dev
    lv2-dev liblilv-dev lilv-utils serdi sordi jalv jackd2 libsuil-0-0
    x42-plugins calf-plugins zam-plugins
    ardour
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
