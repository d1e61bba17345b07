#!/usr/bin/env bash
# Runs a unit-test executable under Wine (ctest's CMAKE_CROSSCOMPILING_EMULATOR):
# in the unit prefix, with the Japanese code page (932), no display, a scratch
# HOME and working folder; passes the program's exit code back (124 when it
# had to be stopped).
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

# The program's output goes through a file, not ctest's pipe: a process Wine
# starts on the way (the desktop, a service) keeps the descriptors it inherits
# and outlives the test under the unit tests' one server, and ctest would wait
# for that pipe to close until its timeout. A test that does not end within
# the limit is stopped, and the machine's Wine processes are listed for the report.
limit=240
log=$SETUP_TEST_SCRATCH/wine-output.log
rm -f "$log"
status=0
timeout --kill-after=10 "$limit" wine "$exe" "$@" >"$log" 2>&1 || status=$?
cat "$log"
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
  echo "run_in_wine: $(basename "$exe") did not end within $limit s; Wine's processes:" >&2
  ps -eo pid,etimes,args | grep -E '[.]exe|wineserve[r]' >&2 || true
fi
exit "$status"
