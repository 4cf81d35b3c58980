#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each one for SECONDS (default 60) on a copy of its seed corpus, so that the committed
# corpora never grow by themselves. Prints executions and coverage per target and exits
# non-zero when any target found something; the input that did it is kept under
# <build>/findings/<target>/.
#
#   scripts/fuzz.sh [SECONDS]
#   FUZZ_BUILD_DIR (default build/fuzz), FUZZ_JOBS (targets at once, default: the CPU count),
#   FUZZ_TARGETS (names to run, default: every target of fuzz/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build/fuzz}
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
./scripts/setup.sh

# Target and corpus names, as fuzz/CMakeLists.txt registers them: tvlr_add_fuzz(<target> <corpus> ...).
mapfile -t entries < <(sed -n 's/^tvlr_add_fuzz(\([a-z0-9_]*\) \([a-z0-9_]*\).*/\1 \2/p' fuzz/CMakeLists.txt)
declare -A corpus_of
targets=()
for entry in "${entries[@]}"; do
  set -- $entry
  corpus_of[$1]=$2
  targets+=("$1")
done
if [ -n "${FUZZ_TARGETS:-}" ]; then read -r -a targets <<< "$FUZZ_TARGETS"; fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTVLR_BUILD_FUZZ=ON -DTVLR_SANITIZE=ON -DTVLR_BUILD_TESTS=OFF -DTVLR_BUILD_BENCH=OFF \
      -DTVLR_BUILD_EXAMPLES=OFF -DTVLR_BUILD_TOOLS=OFF -DTVLR_INSTALL=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1

run_target() {
  local t=$1 corpus=${corpus_of[$1]:-$1}
  local findings="$PWD/$build/findings/$t" dict=()
  mkdir -p "$work/$t" "$findings"
  cp -r "fuzz/corpus/$corpus" "$work/$t/corpus"
  if [ -f "fuzz/$t.dict" ]; then dict=(-dict="fuzz/$t.dict");
  elif [ -f "fuzz/$corpus.dict" ]; then dict=(-dict="fuzz/$corpus.dict"); fi
  local rc=0
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$findings/" "${dict[@]}" "$work/$t/corpus" >"$work/$t.log" 2>&1 || rc=$?
  local execs cov ft
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$work/$t.log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$work/$t.log" | tail -1 | cut -d' ' -f2)
  if [ "$rc" -eq 0 ]; then
    printf '%-14s ok       %10s execs  cov %6s  ft %6s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}"
  else
    printf '%-14s FINDING  %10s execs  cov %6s  ft %6s  (exit %d, input in %s)\n' \
           "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$rc" "$findings"
    grep -v '^#\|^ *#[0-9]\|^INFO\|NEW_FUNC' "$work/$t.log" | head -40
  fi
  return "$rc"
}

failed=0
pids=()
names=()
for t in "${targets[@]}"; do
  run_target "$t" &
  pids+=($!)
  names+=("$t")
  if [ "${#pids[@]}" -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done
exit "$failed"
