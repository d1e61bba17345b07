#!/usr/bin/env bash
# Prepares this machine to build and test setup.exe: Debian packages, the
# Japanese and English locales that Wine takes its code page from, and the cross-built
# static libraries (libpng, libjpeg, GoogleTest), built once per machine and
# linked from build/deps/prefix.
# Safe to run again: every step checks whether its work is already done.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

packages=(
  make cmake python3 xz-utils googletest dpkg-dev patch
  mount e2fsprogs libx11-6  # fault tests (tmpfs, chattr) and the benchmarks' pixel reader
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64
  xvfb xdotool imagemagick x11-apps x11-utils
  locales
  osslsigncode openssl  # make sign, and the release test's throw-away certificate
  fonts-ipafont-gothic  # Japanese glyphs in screenshots, and the sample skin's text (demo/make_skin.py)
  clang llvm libclang-rt-14-dev libgtest-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes the ANSI code page from the glibc locale; without it GetACP() is 1252.
# The tests run under Japanese; one runs under English, where only setup.exe's
# manifest gives it code page 932.
for name in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$"; then
    echo "setup: generating the $name.UTF-8 locale"
    as_root localedef -i "$name" -f UTF-8 "$name.UTF-8"
  fi
done

# Source packages come through a deb-src twin of the system's own apt source.
src_list=/etc/apt/sources.list.d/setup-deb-src.sources
if [ ! -f "$src_list" ]; then
  echo "setup: enabling Debian source packages"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
  as_root apt-get update -q
fi

# The cross-built libraries do not depend on the clone, so they are built once per
# machine, like a package, into a folder keyed by exactly what goes into them: the
# source releases and patch levels, the toolchain's packages and this script's
# build options. A clone links build/deps/prefix to that folder; any change in the
# key builds a new one. SETUP_DEPS_CACHE moves the machine-wide folder.
cache_root=${SETUP_DEPS_CACHE:-/var/cache/skinned-setup/deps}
if ! mkdir -p "$cache_root" 2>/dev/null || [ ! -w "$cache_root" ]; then
  cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/skinned-setup/deps
  mkdir -p "$cache_root"
fi
mkdir -p "$deps/src"

# fetch_source DEBIAN_SOURCE_PACKAGE: unpacks the Debian source package (upstream
# plus Debian's patches, checksums checked) once and prints the folder.
fetch_source() {
  local pkg=$1 dir="$deps/src/$1"
  if [ ! -f "$dir/.debian-source" ]; then
    python3 "$root/scripts/fetch_debian_source.py" "$pkg" "$dir" || exit 1
  fi
  echo "$dir"
}

# An assignment passes a failing $(...) on, so a fetch that fails stops the set-up here.
png_src=$(fetch_source libpng1.6) || exit 1
jpeg_src=$(fetch_source libjpeg-turbo) || exit 1
# zlib's own source, for its contrib/minizip: the zip reader and writer of the
# packed setup.exe, compiled into the build (cmake/minizip.cmake).
fetch_source zlib >/dev/null || exit 1
gtest_src=/usr/src/googletest

# Each function and datum in its own section, as the program is compiled: the link
# drops what setup.exe never calls (libpng's writing code, among others; see
# cmake/gc_sections.cmake). libjpeg without NO_GETENV reads JPEGMEM from the
# environment with sscanf, which brings in the C library's whole scanf.
sections="-ffunction-sections -fdata-sections"
png_args=(-DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_USE_STATIC_LIBS=ON
          "-DCMAKE_C_FLAGS=$sections")
jpeg_args=(-DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
           "-DCMAKE_C_FLAGS=$sections -DNO_GETENV")
# libjpeg's optional parts are chosen in its jmorecfg.h ("undefining some of these
# symbols will produce a smaller but less capable library"). The pictures are
# decoded at full size, to RGB, with the default DCT: the colour quantisers, the
# scaled IDCTs, the merged upsampler and the legacy fast and floating-point DCTs are
# never called, but they are chosen by run-time settings, so --gc-sections cannot
# tell. libjpeg is built from a copy of its source with these undefined.
jpeg_without=(QUANT_1PASS_SUPPORTED QUANT_2PASS_SUPPORTED IDCT_SCALING_SUPPORTED
              UPSAMPLE_MERGING_SUPPORTED DCT_IFAST_SUPPORTED DCT_FLOAT_SUPPORTED)
gtest_args=(-DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=OFF)

png_origin=$(cat "$png_src/.debian-source")
jpeg_origin=$(cat "$jpeg_src/.debian-source")
gtest_origin="googletest $(dpkg-query -W -f='${Version}' googletest) from $gtest_src"

# Everything the three builds depend on, one item a line; the key is its hash.
manifest=$(
  echo "libpng: $png_origin; ${png_args[*]}"
  echo "libjpeg: $jpeg_origin; ${jpeg_args[*]}; jmorecfg.h without ${jpeg_without[*]}"
  echo "googletest: $gtest_origin; ${gtest_args[*]}"
  x86_64-w64-mingw32-gcc-posix --version | head -n 1
  x86_64-w64-mingw32-g++-posix --version | head -n 1
  dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev cmake
  echo "toolchain file: $(sha256sum <"$toolchain" | cut -d' ' -f1)"
)
key=$(printf '%s\n' "$manifest" | sha256sum | cut -c1-16)
store="$cache_root/$key"

# One set-up at a time builds into the store; a half-built one (no .complete) is redone.
exec 9>"$cache_root/.lock"
flock 9
if [ -f "$store/.complete" ]; then
  echo "setup: libpng is built ($png_origin), reused from $store"
  echo "setup: libjpeg is built ($jpeg_origin), reused from $store"
  echo "setup: googletest is built ($gtest_origin), reused from $store"
else
  rm -rf "$store"
  mkdir -p "$store/prefix"
  printf '%s\n' "$manifest" >"$store/manifest"
  cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
         -DCMAKE_INSTALL_PREFIX="$store/prefix" -DMINGW_DEPS_PREFIX="$store/prefix")
  # cross_build NAME ORIGIN SOURCE_DIR CMAKE_ARGS...: builds and installs into the store.
  cross_build() {
    local name=$1 origin=$2 src=$3; shift 3
    local work="$store/build-$name" log="$store/$name.log"
    echo "setup: cross-building $name ($origin) into $store"
    cmake -S "$src" -B "$work" "${cross[@]}" "$@" >"$log" 2>&1 \
      && cmake --build "$work" -j"$(nproc)" >>"$log" 2>&1 \
      && cmake --install "$work" >>"$log" 2>&1 \
      || { tail -n 40 "$log"; exit 1; }
    rm -rf "$work"
  }
  cross_build libpng "$png_origin" "$png_src" "${png_args[@]}"
  jpeg_copy="$store/src-libjpeg"
  cp -a "$jpeg_src" "$jpeg_copy"
  for option in "${jpeg_without[@]}"; do
    sed -i -E "s/^#define $option( |\$)/#undef  $option\1/" "$jpeg_copy/jmorecfg.h"
    grep -q "^#undef  $option\b" "$jpeg_copy/jmorecfg.h" ||
      { echo "setup: libjpeg's jmorecfg.h has no $option to undefine"; exit 1; }
  done
  cross_build libjpeg "$jpeg_origin" "$jpeg_copy" "${jpeg_args[@]}"
  rm -rf "$jpeg_copy"
  cross_build googletest "$gtest_origin" "$gtest_src" "${gtest_args[@]}"
  touch "$store/.complete"
fi
flock -u 9

# The clone's build/deps/prefix is a link to the store (an older clone may hold a real folder).
if [ "$(readlink "$prefix" 2>/dev/null)" != "$store/prefix" ]; then
  rm -rf "$prefix"
  ln -s "$store/prefix" "$prefix"
fi

echo "setup: ready"
