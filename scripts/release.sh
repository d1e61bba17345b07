#!/usr/bin/env bash
# Builds the release: setup.exe and skintool.exe, stripped, with their debug
# information beside them (NAME.exe.debug, linked by .gnu_debuglink). Two
# builds of the same commit give byte-identical executables wherever the
# source and build folders lie: source and build paths are mapped to fixed
# names, the linker writes no time stamp, and archives carry no dates.
#   scripts/release.sh [BUILD_DIR]     (default build/release; prints the sums)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/release}" && cd "${1:-$root/build/release}" && pwd)
deps=${MINGW_DEPS_PREFIX:-$root/build/deps/prefix}
objcopy=x86_64-w64-mingw32-objcopy

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}
export ZERO_AR_DATE=1
map="-ffile-prefix-map=$root=/src -ffile-prefix-map=$out=/build -ffile-prefix-map=$deps=/deps"
# build/deps/prefix is a link to the machine-wide libraries: map the folder it names too.
[ "$(realpath "$deps")" = "$deps" ] || map="$map -ffile-prefix-map=$(realpath "$deps")=/deps"

cmake -S "$root" -B "$out/tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DMINGW_DEPS_PREFIX="$deps" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="-g $map" -DCMAKE_CXX_FLAGS="-g $map" -DCMAKE_RC_FLAGS="" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--no-insert-timestamp -Wl,--build-id=none" >/dev/null
cmake --build "$out/tree" -j2 --target setup skintool >/dev/null

for exe in setup skintool; do
  built="$out/tree/$exe.exe"
  echo "$exe.exe: $(stat -c %s "$built") bytes as linked"
  # The debug link is made from inside $out so that only the file name goes in.
  (cd "$out" && cp "$built" "$exe.exe" &&
   "$objcopy" --only-keep-debug "$exe.exe" "$exe.exe.debug" &&
   "$objcopy" --strip-all "$exe.exe" &&
   "$objcopy" --add-gnu-debuglink="$exe.exe.debug" "$exe.exe")
  echo "$exe.exe: $(stat -c %s "$out/$exe.exe") bytes stripped"
done
(cd "$out" && sha256sum setup.exe skintool.exe)
