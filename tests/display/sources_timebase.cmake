list(APPEND CORE_TEST_SOURCES
  tests/display/formatting_test.cpp
  tests/display/time_base_test.cpp
  tests/display/cursors_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/formatting_bench.cpp)
