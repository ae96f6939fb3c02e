list(APPEND RUNTIME_TEST_SOURCES
  tests/zentro/scope_setup_test.cpp
  tests/zentro/sample_check_test.cpp
  tests/zentro/calibration_test.cpp
  tests/zentro/zentro_runtime_test.cpp
  tests/zentro/stacking_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/zentro_bench.cpp)
