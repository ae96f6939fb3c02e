list(APPEND CORE_TEST_SOURCES tests/print/page_render_test.cpp)
list(APPEND BENCH_SOURCES tests/bench/page_render_bench.cpp)
