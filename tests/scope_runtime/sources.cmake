list(APPEND RUNTIME_TEST_SOURCES
  tests/scope_runtime/scope_setup_test.cpp
  tests/scope_runtime/sample_check_test.cpp
  tests/scope_runtime/calibration_test.cpp
  tests/scope_runtime/zentro_runtime_test.cpp
  tests/scope_runtime/stacking_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/zentro_bench.cpp)
