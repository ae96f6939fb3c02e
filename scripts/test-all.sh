#!/usr/bin/env bash
# Builds every tree and runs every test: native (with sanitizers) and under Wine, 64-bit always and
# 32-bit wherever this kernel can run 32-bit programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" native
"$root/scripts/build.sh" bench
"$root/scripts/build.sh" win
"$root/scripts/build.sh" win64
"$root/scripts/installer.sh"

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure

echo "== benchmarks (one short pass, figures only)"
for b in "$root"/build/bench/bin/*_bench; do
  "$b" --benchmark_min_time=0.01 >/dev/null 2>&1 || { echo "benchmark failed: $b" >&2; exit 1; }
done

# One architecture's Windows tests in its own prefix (a subshell: its own wineserver and Xvfb).
wine_tests() {
  local arch=$1 tree=$2
  echo "== tests under ${arch}-bit Wine ($tree)"
  (
    WINE_ARCH=$arch WINE_PREFIX_DIR="$root/build/wineprefix-test$([ "$arch" = 64 ] && echo 64)" WINE_DESKTOP=1
    . "$root/scripts/wine-env.sh"
    trap wine_env_cleanup EXIT
    ctest --test-dir "$root/build/$tree" --output-on-failure
  )
}

ran="64-bit"
skipped=""
wine_tests 64 win64
if why=$("$root/scripts/wine/probe32"); then
  wine_tests 32 win
  ran="64-bit and 32-bit"
else
  skipped="; 32-bit skipped: $why"
fi
echo "== Windows tests passed under $ran Wine$skipped"
