#!/usr/bin/env bash
# Installs the Debian packages one job needs, named by profile:
#   run      build the plug-in library and the spatium command (scripts/run.sh)
#   lv2      build the LV2 bundle (scripts/install-lv2.sh): run's packages and the LV2 headers
#   test     everything scripts/test.sh and scripts/fuzz.sh use but the Windows stage:
#            test and benchmark libraries, Clang, Xvfb, the LV2 hosts and peer plug-ins
#   windows  the mingw-w64 cross toolchain and Wine (scripts/deps-windows.sh)
#   artwork  Python and the fonts the artwork generator reads (scripts/artwork.sh)
#   ./scripts/deps.sh PROFILE...   (no profile: test)
# Only packages that are missing are installed, so a prepared machine pays nothing.
set -euo pipefail

RUN=(cmake g++ make libsndfile1-dev libpng-dev libx11-dev libasound2-dev)
# Configuring the tree looks for the command-line host's libraries too.
LV2=("${RUN[@]}" lv2-dev)
TEST=(
    "${RUN[@]}" lv2-dev pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    zlib1g-dev libjpeg62-turbo-dev libfreetype-dev fonts-dejavu-core
    libxtst-dev xvfb xauth
    clang libclang-rt-14-dev
    liblilv-dev lilv-utils serdi sordi jalv jackd2 libsuil-0-0
    x42-plugins calf-plugins zam-plugins
    ardour
)
WINDOWS=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libz-mingw-w64-dev wine wine64 xvfb xauth x11-apps xdotool libgtest-dev dpkg-dev
)
ARTWORK=(python3 python3-pil python3-numpy python3-fonttools fonts-lato fonts-league-spartan)

# Installs those of the named packages that are not installed yet.
install_missing() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    ((${#missing[@]})) || return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

packages=()
for profile in "${@:-test}"; do
    case "$profile" in
    run) packages+=("${RUN[@]}") ;;
    lv2) packages+=("${LV2[@]}") ;;
    test) packages+=("${TEST[@]}") ;;
    windows) packages+=("${WINDOWS[@]}") ;;
    artwork) packages+=("${ARTWORK[@]}") ;;
    *)
        echo "deps.sh: unknown profile '$profile' (run, lv2, test, windows, artwork)" >&2
        exit 2
        ;;
    esac
done
install_missing "${packages[@]}"
