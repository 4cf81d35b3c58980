#!/usr/bin/env bash
# Installs what is missing, builds the library and the example program, and
# prints the events of a document (examples/sample.tvlr unless one is given).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVLR_BUILD_TESTS=OFF >/dev/null
cmake --build build/release --target tvlr_events tvlr_shared
./build/release/examples/tvlr_events "${1:-examples/sample.tvlr}"
