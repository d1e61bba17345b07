#!/usr/bin/env bash
# make test: runs the whole suite through ctest, several tests side by side
# (each end-to-end test has its own prefix, display and scratch drive; the unit
# tests share one prefix and take turns), then prints the wall time and how many
# unit, end-to-end and host tests ran.
#   scripts/run_tests.sh BUILD_DIR        TEST_JOBS sets ctest's -j (3)
set -uo pipefail

build=${1:?usage: $0 BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
tests_start=$(date +%s)
start=${SUITE_STARTED:-$tests_start}
cd "$build"
ctest --output-on-failure --timeout 300 -j "${TEST_JOBS:-3}"
status=$?
now=$(date +%s)
python3 "$root/scripts/test_summary.py" Testing/Temporary/LastTest.log \
  "$(( now - start ))" "$(( now - tests_start ))"
exit "$status"
