#!/usr/bin/env bash
# Configures and builds one tree: win (MinGW cross build), native (sanitizers) or bench (optimised).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$1
case "$tree" in
  win)    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  bench)  args=(-DCMAKE_BUILD_TYPE=Release -DKV_BENCHMARKS=ON) ;;
  *) echo "usage: $0 win|native|bench" >&2; exit 2 ;;
esac
if [ ! -f "$root/build/$tree/build.ninja" ]; then
  cmake -S "$root" -B "$root/build/$tree" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$root/build/$tree"
