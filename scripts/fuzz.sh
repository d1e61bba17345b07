#!/usr/bin/env bash
# Builds the host-side checks (host/: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), writes the seed inputs, replays the saved
# crash inputs under host/regressions/<target>/, then runs each libFuzzer
# target for a bounded time or number of runs. The corpus grows under
# <build dir>/corpus/<target>/; a crash leaves its input under
# <build dir>/artifacts/<target>/ and fails the run.
#
#   scripts/fuzz.sh [--seconds N | --runs N] [--build-dir DIR] [--build-only | --no-build] [TARGET...]
#
# Without TARGETs every target listed in <build dir>/fuzz_targets.txt runs.
# `make fuzz FUZZ_SECONDS=600` runs each for ten minutes.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/host"
seconds=60
runs=""
build_step=yes
fuzz_step=yes
targets=()

while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; runs=""; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build-dir) build=$2; shift 2 ;;
    --build-only) fuzz_step=no; shift ;;
    --no-build) build_step=no; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
mkdir -p "$build"
build=$(cd "$build" && pwd)

if [ "$build_step" = yes ]; then
  start=$SECONDS
  log="$build/build.log"
  {
    if [ ! -f "$build/CMakeCache.txt" ]; then
      cmake -S "$root/host" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    fi
    cmake --build "$build" -j"$(nproc)"
  } >"$log" 2>&1 || { tail -n 60 "$log"; echo "fuzz.sh: host build failed (log: $log)" >&2; exit 1; }
  if grep -q 'warning:' "$log"; then
    grep 'warning:' "$log" | head -n 20
    echo "fuzz.sh: the host build has warnings (log: $log)" >&2
    exit 1
  fi
  echo "host build: ready in $((SECONDS - start)) s ($build)"
fi
[ "$fuzz_step" = yes ] || exit 0

if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(grep -v '^$' "$build/fuzz_targets.txt")
fi

# Sanitizer reports end the run with a stack trace; leaks count as findings too.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

"$build/make_corpus" "$build/corpus" >/dev/null

if [ -n "$runs" ]; then bound=(-runs="$runs"); else bound=(-max_total_time="$seconds"); fi
# No input needs more than this in one allocation (the largest picture the
# decoders accept takes 256 MB of rows); asking for more is a finding.
limits=(-malloc_limit_mb="${FUZZ_MALLOC_LIMIT_MB:-512}")
passed=0 failed=0
summary=()
for t in "${targets[@]}"; do
  bin="$build/$t"
  log="$build/logs/$t.log"
  mkdir -p "$build/logs" "$build/artifacts/$t" "$build/corpus/$t"
  : >"$log"

  # Inputs that once crashed a target: each runs once, and must pass.
  replayed=0
  regressions="$root/host/regressions/$t"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    files=("$regressions"/*)
    replayed=${#files[@]}
    if ! "$bin" "${limits[@]}" "${files[@]}" >>"$log" 2>&1; then
      tail -n 40 "$log"
      summary+=("$(printf '%-18s FAILED replaying %s (log: %s)' "$t" "$regressions" "$log")")
      failed=$((failed + 1))
      continue
    fi
  fi

  options=("${bound[@]}" "${limits[@]}" -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/")
  dict="$root/host/dictionaries/$t.dict"
  [ -f "$dict" ] && options+=(-dict="$dict")
  start=$SECONDS
  if "$bin" "${options[@]}" "$build/corpus/$t" >>"$log" 2>&1; then
    status=ok
    passed=$((passed + 1))
  else
    status=FAILED
    failed=$((failed + 1))
    grep -E 'ERROR|runtime error|broken promise|SUMMARY|Test unit written|^    #[0-9]' "$log" | head -n 30 || true
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$execs" ] || execs=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
  corpus=$(find "$build/corpus/$t" -type f | wc -l)
  summary+=("$(printf '%-18s %-6s %10s runs in %3d s, corpus %5d, %d replayed' \
    "$t" "$status" "${execs:-?}" "$((SECONDS - start))" "$corpus" "$replayed")")
done

echo "fuzzing (${bound[*]} per target):"
printf '  %s\n' "${summary[@]}"
echo "fuzz targets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
