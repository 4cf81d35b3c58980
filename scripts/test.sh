#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors (g++)
# and runs every test, then does the same with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the concurrency test under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVLR_WERROR=ON
cmake --build build/ci -j "$jobs"
ctest --test-dir build/ci --output-on-failure -j "$jobs"

# The sanitizer build uses clang, so that both compilers build everything
# warning-free.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTVLR_WERROR=ON \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTVLR_SANITIZE=ON -DTVLR_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

# The concurrency test again under ThreadSanitizer.
./scripts/tsan.sh
