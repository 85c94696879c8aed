#!/usr/bin/env bash
# Installs the Windows cross toolchain and Wine (deps.sh windows), and cross-builds
# the libraries the Windows test programs and the command-line host need (GoogleTest
# from the sources Debian ships with libgtest-dev, libsndfile from Debian's source
# package) into build/windows-deps. A finished library is kept there, so a rerun
# costs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
PREFIX="$ROOT/build/windows-deps"
WORK="$PREFIX/src"
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
JOBS=$(nproc)

./scripts/deps.sh windows
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Whether this run has read the package lists yet; apt-get source needs fresh ones.
updated=0

mkdir -p "$WORK"

if [ ! -f "$PREFIX/lib/libgtest.a" ]; then
    echo "Cross-building GoogleTest"
    cmake -S /usr/src/googletest -B "$WORK/googletest" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -Dgtest_disable_pthreads=OFF \
        -DCMAKE_CROSSCOMPILING_EMULATOR="" >/dev/null
    cmake --build "$WORK/googletest" -j"$JOBS" >/dev/null
    cmake --install "$WORK/googletest" >/dev/null
fi

# Fetches and unpacks Debian's source package $1 into $WORK, once.
fetch_source() {
    if ls -d "$WORK/$1"-*/ >/dev/null 2>&1; then return; fi
    if ! grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
        # Source packages need a deb-src entry beside the binary one.
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed -n '/^Types: deb$/,/^$/p' /etc/apt/sources.list.d/debian.sources \
                | sed 's/^Types: deb$/Types: deb-src/' \
                | $SUDO tee /etc/apt/sources.list.d/spatium-deb-src.sources >/dev/null
        else
            # A machine with the one-line format lists its mirrors there instead.
            sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list \
                | $SUDO tee /etc/apt/sources.list.d/spatium-deb-src.list >/dev/null
        fi
        updated=0
    fi
    if [ "$updated" -eq 0 ]; then
        $SUDO apt-get update -qq
        updated=1
    fi
    # A security update's files can be missing from a mirror; the release's own
    # version is then good enough for a test reference.
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    (cd "$WORK" && { apt-get source -qq "$1" >/dev/null 2>&1 \
        || apt-get source -qq "$1/$codename" >/dev/null; })
}

# Cross-builds the CMake project of source package $1 with the extra options given.
build_source() {
    local package=$1
    shift
    fetch_source "$package"
    local src
    src=$(ls -d "$WORK/$package"-*/ | head -1)
    cmake -S "$src" -B "$WORK/$package-build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_CROSSCOMPILING_EMULATOR="" -Wno-dev "$@" >/dev/null
    cmake --build "$WORK/$package-build" -j"$JOBS" >/dev/null
    cmake --install "$WORK/$package-build" >/dev/null
}

ZLIB_STATIC=/usr/x86_64-w64-mingw32/lib/libz.a

# The command-line host's audio files: only the uncompressed formats, so no codec
# libraries and no programs.
if [ ! -f "$PREFIX/lib/libsndfile.a" ]; then
    echo "Cross-building libsndfile"
    build_source libsndfile -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF \
        -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF \
        -DBUILD_REGTEST=OFF
fi

# The reference decoders the image decoder tests compare against, and the PNG
# writer of the GUI demo.
if [ ! -f "$PREFIX/lib/libpng16.a" ]; then
    echo "Cross-building libpng"
    build_source libpng1.6 -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_LIBRARY="$ZLIB_STATIC" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
fi
if [ ! -f "$PREFIX/lib/libjpeg.a" ]; then
    echo "Cross-building libjpeg-turbo"
    build_source libjpeg-turbo -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
fi
