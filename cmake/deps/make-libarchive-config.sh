#!/usr/bin/env bash
# Writes cmake/deps/libarchive-config-<platform>.h anew: libarchive's own
# CMake configure, run once for the platform of a configured cross build
# with the options cmake/archive_deps.cmake builds it with, and its config.h
# kept.  Run it when the fetched libarchive or the cross compiler changes:
#
#   cmake/deps/make-libarchive-config.sh BUILD_DIR
#
# BUILD_DIR is a build folder of this project configured for MinGW-w64 or
# Emscripten with -DD88CUT_DEPS_SOURCE_DIR (the compressors are built there
# first, so that libarchive's checks find and link them).  Under Emscripten
# the configure takes about five minutes.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
deps=$(cache_value D88CUT_DEPS_SOURCE_DIR)
toolchain=$(cache_value CMAKE_TOOLCHAIN_FILE)
[ -n "$deps" ] && [ -n "$toolchain" ] || { echo "$0: $build is no cross build with D88CUT_DEPS_SOURCE_DIR" >&2; exit 1; }

# No regex library (only bsdtar's -s and mtree use one): POSIX_REGEX_LIB=NONE,
# since ENABLE_LIBGCC=OFF is a fatal error in 3.6.2's search for one.
options=(-DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF
  -DENABLE_INSTALL=OFF -DENABLE_WERROR=OFF -DENABLE_OPENSSL=OFF -DENABLE_NETTLE=OFF
  -DENABLE_MBEDTLS=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_ZSTD=OFF
  -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF
  -DPOSIX_REGEX_LIB=NONE
  -DENABLE_ACL=OFF -DENABLE_XATTR=OFF
  -DZLIB_INCLUDE_DIR="$deps/zlib" -DZLIB_LIBRARY="$build/libd88cut_zlib.a"
  -DBZIP2_INCLUDE_DIR="$deps/bzip2" -DBZIP2_LIBRARY_RELEASE="$build/libd88cut_bzip2.a"
  -DLIBLZMA_INCLUDE_DIR="$deps/xz-utils/src/liblzma/api"
  -DLIBLZMA_LIBRARY="$build/libd88cut_lzma.a"
  # A build without writers has no lzma_easy_encoder, which FindLibLZMA
  # asks for; libarchive's configuration does not depend on it.
  -DLIBLZMA_HAS_EASY_ENCODER=ON)
case "$toolchain" in
  *mingw*)
    platform=windows
    # Windows code pages through the system's own API, not iconv; Windows 7
    # and later.  The ZLIB_WINAPI check runs a program, which a cross
    # configure cannot (and CMake 3.25 crashes trying): static zlib needs no
    # WINAPI.  (CNG stays unused: libarchive looks for "Bcrypt.h", MinGW's
    # header is bcrypt.h on a case-sensitive file system, so WinZip AES is
    # not read; encrypted members are refused anyway.)
    options+=(-DENABLE_ICONV=OFF -DENABLE_CNG=ON -DWINDOWS_VERSION=WIN7
              -DZLIB_WINAPI_EXITCODE=1 -DZLIB_WINAPI_EXITCODE__TRYRUN_OUTPUT=)
    ;;
  *Emscripten*)
    platform=emscripten
    # The C library's own iconv (musl) for the header charsets.
    options+=(-DENABLE_ICONV=ON -DENABLE_CNG=OFF)
    export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
    # Debian's Python straight away, not a version manager's shim first on
    # PATH: each of the several hundred checks starts emcc a few times.
    [ -x /usr/bin/python3 ] && export EMSDK_PYTHON=${EMSDK_PYTHON:-/usr/bin/python3}
    ;;
  *) echo "$0: no libarchive configuration is kept for $toolchain" >&2; exit 1 ;;
esac

cmake --build "$build" --target d88cut_zlib d88cut_bzip2 d88cut_lzma
work=$build/libarchive-configure
rm -rf "$work"
start=$SECONDS
cmake -S "$deps/libarchive" -B "$work" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release "${options[@]}" > "$work.log"
echo "libarchive's configure for $platform took $((SECONDS - start)) s (log: $work.log)"

out=$here/libarchive-config-$platform.h
{
  echo "/* libarchive $(cat "$deps/libarchive.version") configured for $platform by"
  echo "   cmake/deps/make-libarchive-config.sh; do not edit. */"
  cat "$work/config.h"
} > "$out"
echo "wrote $out"
