#!/usr/bin/env bash
# Installs what is missing, builds the library and the tvlr tool, then checks a document and
# prints it in canonical form (examples/sample.tvlr unless one is given): `tvlr check FILE`
# followed by `tvlr fmt FILE`. The build goes to build/release, or to the folder in
# TVLR_BUILD_DIR (relative to the repository root).
set -euo pipefail
# A relative file name means the caller's folder, so make it absolute before
# moving to the repository root.
doc=""
if [ $# -gt 0 ]; then
  case "$1" in
    /*) doc="$1" ;;
    *) doc="$PWD/$1" ;;
  esac
fi
cd "$(dirname "$0")/.."
build="${TVLR_BUILD_DIR:-build/release}"
./scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTVLR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tvlr tvlr_events tvlr_tree tvlr_shared
doc="${doc:-examples/sample.tvlr}"
"$build/tools/tvlr/tvlr" check "$doc"
echo "$doc: valid"
"$build/tools/tvlr/tvlr" fmt "$doc"
