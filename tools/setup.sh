#!/bin/bash
# Installs what a fresh Debian 12 machine lacks for building and testing zipsfx, and nothing else.
# Each package is checked by a file it provides; apt-get runs only when something is missing.
set -euo pipefail

# package:file-that-shows-it-is-installed
NEEDED=(
    "cmake:/usr/bin/cmake"
    "g++:/usr/bin/g++"
    "make:/usr/bin/make"
    "libgtest-dev:/usr/include/gtest/gtest.h"
    "googletest:/usr/src/googletest/googletest/CMakeLists.txt"
    "g++-mingw-w64-i686:/usr/bin/i686-w64-mingw32-g++-posix"
    "g++-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-g++-posix"
    "libz-mingw-w64-dev:/usr/i686-w64-mingw32/include/zlib.h"
    "zlib1g-dev:/usr/include/zlib.h"
    "libbz2-dev:/usr/include/bzlib.h"
    # The LZMA compressor of `zipsfx make --method lzma` (the Linux tool only).
    "liblzma-dev:/usr/include/lzma.h"
    "wine:/usr/bin/wine"
    "wine64:/usr/lib/wine/wine64"
    "wine32:i386:/usr/lib/wine/wineserver32"
    "xvfb:/usr/bin/xvfb-run"
    "xdotool:/usr/bin/xdotool"
    "x11-apps:/usr/bin/xwd"
    "x11-utils:/usr/bin/xdpyinfo"
    "imagemagick:/usr/bin/convert-im6.q16"
    "zip:/usr/bin/zip"
    "unzip:/usr/bin/unzip"
    "p7zip-full:/usr/bin/7z"
    # bsdtar writes the Zip archives of macOS and of Windows 10 and later ("./" first).
    "libarchive-tools:/usr/bin/bsdtar"
    # AES, HMAC-SHA1 and PBKDF2 for encrypted entries on POSIX, linked from its static archive.
    "libtomcrypt-dev:/usr/lib/x86_64-linux-gnu/libtomcrypt.a"
    "python3:/usr/bin/python3"
    # Signing a self-extracting file (tests/e2e/test_make_signing.sh).
    "osslsigncode:/usr/bin/osslsigncode"
    "openssl:/usr/bin/openssl"
    # The fuzz targets: clang with libFuzzer and the sanitizers, and readable stack traces.
    "clang:/usr/bin/clang++"
    "libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
    "llvm:/usr/bin/llvm-symbolizer"
    # Packaging (make dist, tests/e2e/test_install_package.sh): the Debian package's dependencies
    # (dpkg-shlibdeps, on the programs that file(1) finds for cpack) and its check.
    "dpkg-dev:/usr/bin/dpkg-shlibdeps"
    "file:/usr/bin/file"
    "lintian:/usr/bin/lintian"
    # The 32-bit Linux build (make i386) and qemu-i386, which runs its programs in `make test`.
    "g++-multilib:/usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.a"
    "zlib1g-dev:i386:/usr/lib/i386-linux-gnu/libz.a"
    "qemu-user:/usr/bin/qemu-i386"
    # The 32-bit build's own copies of the libraries the tool and the tests link.
    "liblzma-dev:i386:/usr/lib/i386-linux-gnu/liblzma.a"
    "libtomcrypt-dev:i386:/usr/lib/i386-linux-gnu/libtomcrypt.a"
    "libbz2-dev:i386:/usr/lib/i386-linux-gnu/libbz2.a"
)

missing=()
for entry in "${NEEDED[@]}"; do
    file="${entry##*:}"
    package="${entry%:*}"
    if [ ! -e "$file" ]; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
fi
for package in "${missing[@]}"; do
    if [[ "$package" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
done
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
