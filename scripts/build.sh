#!/usr/bin/env bash
# Configures and builds one tree: win (32-bit MinGW cross build, the primary product), win64 (the
# same for 64-bit Windows), native (sanitizers) or bench (optimised).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$1
case "$tree" in
  win)    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  win64)  args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  bench)  args=(-DCMAKE_BUILD_TYPE=Release -DKV_BENCHMARKS=ON) ;;
  *) echo "usage: $0 win|win64|native|bench" >&2; exit 2 ;;
esac
# KV_BUILD_ROOT puts the trees elsewhere (several builds of one checkout side by side).
out="${KV_BUILD_ROOT:-$root/build}/$tree"
# ccache, when present, lets a second checkout (a worktree, a fresh clone) reuse the objects of the
# first: paths are made relative to the checkout and the build directory is left out of the hash.
if command -v ccache >/dev/null; then
  args+=("-DCMAKE_C_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache"
         "-DCMAKE_CXX_COMPILER_LAUNCHER=env;CCACHE_BASEDIR=$root;CCACHE_NOHASHDIR=1;ccache")
fi
if [ ! -f "$out/build.ninja" ]; then
  cmake -S "$root" -B "$out" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$out"
