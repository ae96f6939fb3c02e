list(APPEND RUNTIME_TEST_SOURCES tests/logger/logger_core_test.cpp tests/logger/logger_board_test.cpp)
list(APPEND BENCH_SOURCES tests/bench/logger_bench.cpp)
