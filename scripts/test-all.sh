#!/usr/bin/env bash
# Builds every tree and runs every test: native (with sanitizers) and under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" native
"$root/scripts/build.sh" bench
"$root/scripts/build.sh" win

echo "== native tests"
ctest --test-dir "$root/build/native" --output-on-failure

echo "== benchmarks (one short pass, figures only)"
for b in "$root"/build/bench/bin/*_bench; do
  "$b" --benchmark_min_time=0.01 >/dev/null 2>&1 || { echo "benchmark failed: $b" >&2; exit 1; }
done

echo "== tests under Wine"
WINE_PREFIX_DIR="$root/build/wineprefix-test" WINE_DESKTOP=1
. "$root/scripts/wine-env.sh"
trap wine_env_cleanup EXIT
ctest --test-dir "$root/build/win" --output-on-failure
