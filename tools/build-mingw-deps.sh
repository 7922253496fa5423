#!/usr/bin/env bash
# Builds the static libraries the Windows builds link against (zlib, minizip, libpng) for one
# MinGW-w64 triple into build/deps/<triple>/{include,lib}. Sources are Debian's own source packages, fetched once into build/src and shared by
# both triples. Idempotent: each step leaves a stamp file and is skipped when it is there.
#
#   tools/build-mingw-deps.sh i686-w64-mingw32|x86_64-w64-mingw32
set -euo pipefail

triple=${1:?usage: $0 i686-w64-mingw32|x86_64-w64-mingw32}
case "$triple" in
  i686-w64-mingw32 | x86_64-w64-mingw32) ;;
  *) echo "build-mingw-deps: unknown triple '$triple'" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src=$root/build/src
prefix=$root/build/deps/$triple
work=$root/build/deps/$triple-build
sysroot=/usr/$triple
jobs=${JOBS:-2}

mkdir -p "$src"

# Both triples may be built at once (make -j): the shared source tree is fetched under a lock.
exec 9>"$src/.lock"
flock 9
if [ ! -f "$src/.fetched" ]; then
  echo "build-mingw-deps: fetching zlib and libpng sources"
  (cd "$src" && apt-get source -qq -o APT::Sandbox::User=root zlib/bookworm libpng1.6/bookworm)
  touch "$src/.fetched"
fi
flock -u 9

# The unpacked directories are named after the upstream versions (zlib-1.2.13.dfsg, ...).
find_dir() {
  local pattern=$1 marker=$2 d
  for d in "$src"/$pattern; do
    if [ -e "$d/$marker" ]; then
      echo "$d"
      return 0
    fi
  done
  echo "build-mingw-deps: no $pattern/$marker in $src (remove $src/.fetched to fetch again)" >&2
  return 1
}
zlib_dir=$(find_dir 'zlib-*' contrib/minizip/unzip.c)
png_dir=$(find_dir 'libpng1.6-*' CMakeLists.txt)

mkdir -p "$prefix/include/minizip" "$prefix/lib" "$work"

# One section per function and datum, so that the installer's link drops what it never calls
# (libpng's writer, zlib's deflate, minizip's zip side). C code needs no unwind tables, and for
# PE the linker keeps every function an unwind table names. The C library's own printf is enough
# for libpng's console messages; MinGW's replacement would bring a float formatter along.
size_flags="-Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -D__USE_MINGW_ANSI_STDIO=0"

# zlib from the same source package as minizip, built with those flags (the packaged MinGW zlib
# is not, and would bring its deflate along).
if [ ! -f "$prefix/.zlib-gc.stamp" ]; then
  echo "build-mingw-deps: zlib for $triple"
  rm -rf "$work/zlib" && mkdir -p "$work/zlib"
  objs=()
  for f in adler32 crc32 deflate infback inffast inflate inftrees trees zutil compress uncompr \
    gzclose gzlib gzread gzwrite; do
    "$triple-gcc" $size_flags -w -I"$zlib_dir" -c "$zlib_dir/$f.c" -o "$work/zlib/$f.o"
    objs+=("$work/zlib/$f.o")
  done
  rm -f "$prefix/lib/libz.a"
  "$triple-ar" rcs "$prefix/lib/libz.a" "${objs[@]}"
  install -m 644 "$zlib_dir/zlib.h" "$zlib_dir/zconf.h" "$prefix/include/"
  touch "$prefix/.zlib-gc.stamp"
fi

# minizip: the unzip reader and zip writer from zlib's contributed sources.
if [ ! -f "$prefix/.minizip-gc2.stamp" ]; then
  echo "build-mingw-deps: minizip for $triple"
  mz=$zlib_dir/contrib/minizip
  rm -rf "$work/minizip" && mkdir -p "$work/minizip"
  objs=()
  for f in unzip ioapi zip iowin32; do
    "$triple-gcc" $size_flags -w -I"$prefix/include" -I"$mz" -c "$mz/$f.c" -o "$work/minizip/$f.o"
    objs+=("$work/minizip/$f.o")
  done
  rm -f "$prefix/lib/libminizip.a"
  "$triple-ar" rcs "$prefix/lib/libminizip.a" "${objs[@]}"
  # Installed as <minizip/unzip.h>, like Debian's libminizip-dev; the headers include each
  # other by plain name, so they stay together in one directory.
  for h in unzip.h zip.h ioapi.h iowin32.h crypt.h; do
    install -m 644 "$mz/$h" "$prefix/include/minizip/$h"
  done
  touch "$prefix/.minizip-gc2.stamp"
fi

# libpng with its own CMake build, static only, against the MinGW zlib.
if [ ! -f "$prefix/.libpng-gc2.stamp" ]; then
  echo "build-mingw-deps: libpng for $triple"
  rm -rf "$work/libpng"
  cmake -S "$png_dir" -B "$work/libpng" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$triple.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$size_flags -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DVORLUNE_DEPS_PREFIX="$prefix" \
    -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_FRAMEWORK=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    >"$work/libpng-configure.log" || {
    cat "$work/libpng-configure.log" >&2
    exit 1
  }
  cmake --build "$work/libpng" -j "$jobs" >"$work/libpng-build.log" || {
    tail -n 50 "$work/libpng-build.log" >&2
    exit 1
  }
  cmake --install "$work/libpng" >/dev/null
  touch "$prefix/.libpng-gc2.stamp"
fi

echo "build-mingw-deps: $triple ready in $prefix"
