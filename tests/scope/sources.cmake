list(APPEND CORE_TEST_SOURCES tests/scope/visa_scope_test.cpp)
list(APPEND CORE_TEST_SOURCES tests/scope/stacking_test.cpp)
list(APPEND BENCH_SOURCES tests/bench/scope_rows_bench.cpp)
