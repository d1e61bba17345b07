#!/usr/bin/env bash
# Prepares this machine to build and test setup.exe: Debian packages, the
# Japanese locale that Wine takes its code page from, and the cross-built
# static libraries (libpng, libjpeg, GoogleTest) under build/deps.
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
  fonts-ipafont-gothic  # Japanese glyphs in screenshots of message boxes
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
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# Source packages come through a deb-src twin of the system's own apt source.
src_list=/etc/apt/sources.list.d/setup-deb-src.sources
if [ ! -f "$src_list" ]; then
  echo "setup: enabling Debian source packages"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
  as_root apt-get update -q
fi

mkdir -p "$deps/src" "$prefix"
cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix" -DMINGW_DEPS_PREFIX="$prefix")

# fetch_source DEBIAN_SOURCE_PACKAGE: unpacks the Debian source package (upstream
# plus Debian's patches, checksums checked) once and prints the folder.
fetch_source() {
  local pkg=$1 dir="$deps/src/$1"
  if [ ! -f "$dir/.debian-source" ]; then
    python3 "$root/scripts/fetch_debian_source.py" "$pkg" "$dir" || exit 1
  fi
  echo "$dir"
}

# cross_build NAME SOURCE_DIR CMAKE_ARGS...: builds and installs into the prefix once.
cross_build() {
  local name=$1 src=$2; shift 2
  local stamp="$deps/$name.done" origin="$name from $src"
  [ -f "$src/.debian-source" ] && origin=$(cat "$src/.debian-source")
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$origin" ]; then
    echo "setup: $name is built ($origin)"
    return 0
  fi
  echo "setup: cross-building $name ($origin)"
  rm -rf "$deps/build-$name"
  cmake -S "$src" -B "$deps/build-$name" "${cross[@]}" "$@" >"$deps/$name.log" 2>&1 \
    && cmake --build "$deps/build-$name" -j"$(nproc)" >>"$deps/$name.log" 2>&1 \
    && cmake --install "$deps/build-$name" >>"$deps/$name.log" 2>&1 \
    || { tail -n 40 "$deps/$name.log"; exit 1; }
  echo "$origin" >"$stamp"
}

# An assignment passes a failing $(...) on, so a fetch that fails stops the set-up here.
png_src=$(fetch_source libpng1.6) || exit 1
jpeg_src=$(fetch_source libjpeg-turbo) || exit 1
cross_build libpng "$png_src" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_USE_STATIC_LIBS=ON
cross_build libjpeg "$jpeg_src" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
cross_build googletest /usr/src/googletest \
  -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=OFF

echo "setup: ready"
