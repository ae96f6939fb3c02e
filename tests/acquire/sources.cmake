list(APPEND CORE_TEST_SOURCES
  tests/acquire/acquire_rules_test.cpp
  tests/acquire/board_capture_test.cpp
  tests/acquire/sample_modes_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/acquire_bench.cpp)
