#!/usr/bin/env bash
# The host-side checks as one test (ctest's host_sanitizers): builds host/
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer (quick when
# up to date), runs the host unit tests, then each fuzz target for a bounded
# time after replaying its saved crash inputs (scripts/fuzz.sh).
#   scripts/host_tests.sh [BUILD_DIR]    (default build/host)
# HOST_FUZZ_SECONDS sets the time per fuzz target (8 s).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/host}
start=$SECONDS

"$root/scripts/fuzz.sh" --build-dir "$build" --build-only
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$build/host_unit_tests" --gtest_brief=1
"$root/scripts/fuzz.sh" --build-dir "$build" --no-build --seconds "${HOST_FUZZ_SECONDS:-8}"
echo "host checks: done in $((SECONDS - start)) s"
