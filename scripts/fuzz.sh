#!/usr/bin/env bash
# Builds the file-parser fuzz targets with clang and libFuzzer in a tree of their own (build/fuzz)
# and runs one of them over the seed corpus in the repository.
#   scripts/fuzz.sh [target] [runs] [seconds]   target: kvw (default), cms or project; runs:
#   executions (default 10,000,000); seconds: stop earlier after this long (default: no limit)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-kvw}
runs=${2:-10000000}
seconds=${3:-0}
out="$root/build/fuzz"
mkdir -p "$out/work-$target"
# The portable code a target reaches, nothing of Win32.
case "$target" in
  kvw) srcs=(viewer/files/kvw_codec.cpp viewer/files/kvw_trigger.cpp viewer/trigger/trigger_record.cpp
             viewer/trigger/trigger_setup.cpp viewer/display/label_table.cpp viewer/shell/sample_store.cpp
             viewer/shell/capture_buffer.cpp)
       max_len=65536 ;;
  cms) srcs=(viewer/commands/command_set.cpp viewer/display/label_table.cpp viewer/display/formatting.cpp
             viewer/display/wave_render.cpp viewer/display/wave_render_reference.cpp viewer/display/decoded_rows.cpp
             viewer/display/decoders.cpp viewer/display/time_base.cpp viewer/display/trace_blocks.cpp
             viewer/shell/sample_store.cpp viewer/shell/capture_buffer.cpp)
       max_len=65536 ;;
  project) srcs=(viewer/project/project_store.cpp viewer/display/label_table.cpp viewer/display/cursors.cpp
                 viewer/display/time_base.cpp viewer/display/formatting.cpp viewer/shell/settings.cpp
                 platform/registry_memory.cpp)
           max_len=24576 ;;   # a whole label table (20,100 bytes) and the values beside it
  *) echo "unknown target: $target" >&2; exit 2 ;;
esac
srcs=("${srcs[@]/#/$root/}")
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "$root/tests/fuzz/${target}_fuzz.cpp" "${srcs[@]}" -lz -o "$out/${target}_fuzz"
# New inputs go to a scratch folder; the committed seeds stay as they are.
cd "$out"
"./${target}_fuzz" -runs="$runs" -max_len="$max_len" -max_total_time="$seconds" -print_final_stats=1 \
  "work-$target" "$root/tests/fuzz/corpus/$target" 2>&1 | tail -n 25
