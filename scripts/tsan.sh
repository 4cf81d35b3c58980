#!/usr/bin/env bash
# Builds the library and the concurrency test with ThreadSanitizer (clang) and runs the test:
# many threads make their first calls at the same moment and then use readers, writers,
# trees and number conversions concurrently, one object per thread.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TVLR_TSAN_DIR:-build/tsan}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVLR_WERROR=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
      -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread \
      -DTVLR_BUILD_BENCH=OFF -DTVLR_BUILD_EXAMPLES=OFF -DTVLR_TEST_DIRS=hardening >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target threads_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "$build/tests/hardening/threads_test"
