list(APPEND RUNTIME_TEST_SOURCES
  tests/runtime/runtime_tables_test.cpp
  tests/runtime/halvex_runtime_test.cpp
  tests/runtime/rate_clock_test.cpp
  tests/runtime/trigger_program_test.cpp
  tests/runtime/capture_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/capture_bench.cpp)
