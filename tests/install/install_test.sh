#!/bin/sh
# Installs the build into a scratch prefix, checks what is there, then builds the C example with
# pkg-config and the C++ example with find_package(tvlr) against the installed package only, and
# runs both and the installed tool; last, a project that adds the source with add_subdirectory
# gets only the library.
# Arguments: build folder, source folder, C compiler, C++ compiler, cmake.
set -eu
build=$1 source=$2 cc=$3 cxx=$4 cmake=$5
work=$(mktemp -d /tmp/tvlr-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

# The library with its versioned SONAME, headers, tool and package files; nothing internal.
lib=$(find "$prefix" -name 'libtvlr_shared.so.*.*.*' | head -n 1)
[ -n "$lib" ] || fail "no versioned library"
soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
[ "$soname" = "libtvlr_shared.so.0" ] || fail "SONAME is '$soname'"
for f in include/tvlr.h include/tvlr.hpp bin/tvlr; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
libdir=$(dirname "$lib")
for f in libtvlr_shared.so libtvlr_shared.so.0 cmake/tvlr/tvlrConfig.cmake \
         cmake/tvlr/tvlrConfigVersion.cmake pkgconfig/tvlr.pc; do
  [ -e "$libdir/$f" ] || fail "missing $libdir/$f"
done
if find "$prefix" -name '*.a' | grep -q .; then fail "a static library was installed"; fi

# The installed tool runs against the installed library.
LD_LIBRARY_PATH=$libdir "$prefix/bin/tvlr" check "$source/examples/sample.tvlr" ||
  fail "installed tvlr check failed"

# C through pkg-config.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion tvlr)" = "$(sed -n 's/^#define TVLR_VERSION_STRING "\(.*\)"$/\1/p' "$prefix/include/tvlr.h")" ] ||
  fail "pkg-config version differs from the header"
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Werror -o "$work/events" "$source/examples/events.c" \
  $(pkg-config --cflags --libs tvlr) -Wl,-rpath,"$libdir"
"$work/events" "$source/examples/sample.tvlr" | grep -q '^member_name  "address"' ||
  fail "the C example did not print the sample's events"

# C++ through find_package.
"$cmake" -S "$source/tests/install/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DTVLR_EXAMPLE="$source/examples/tree.cpp" >/dev/null
"$cmake" --build "$work/consumer" >/dev/null
out=$("$work/consumer/tree")
echo "$out" | grep -q "^library $(pkg-config --modversion tvlr)\$" || fail "C++ example: $out"
echo "$out" | grep -q '^speed in SI: 12500$' || fail "C++ example: $out"
"$cmake" -S "$source/tests/install/subproject" -B "$work/subproject" -DTVLR_SOURCE="$source" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null ||
  fail "add_subdirectory consumer"
echo "install test: ok"
