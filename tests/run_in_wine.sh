#!/usr/bin/env bash
# Runs a unit-test executable under Wine (ctest's CMAKE_CROSSCOMPILING_EMULATOR):
# in the unit prefix, with the Japanese code page (932), no display, a scratch
# HOME and working folder; passes the program's exit code back.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 EXE [ARGS...]" >&2
  exit 2
fi
: "${SETUP_TEST_PREFIX:?SETUP_TEST_PREFIX must name the unit Wine prefix}"
: "${SETUP_TEST_SCRATCH:?SETUP_TEST_SCRATCH must name a scratch folder}"

exe=$(realpath "$1")
shift

export WINEPREFIX=$SETUP_TEST_PREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8
unset LC_ALL DISPLAY WAYLAND_DISPLAY
mkdir -p "$SETUP_TEST_SCRATCH/home"
export HOME=$SETUP_TEST_SCRATCH/home
# The scratch folder is drive S: so that the test sees an ordinary S:\ path
# as its current directory (ctest runs the unit tests one after another).
ln -sfn "$(realpath "$SETUP_TEST_SCRATCH")" "$WINEPREFIX/dosdevices/s:"
cd "$SETUP_TEST_SCRATCH"

status=0
wine "$exe" "$@" || status=$?
exit "$status"
