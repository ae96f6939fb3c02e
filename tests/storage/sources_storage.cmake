list(APPEND CORE_TEST_SOURCES
  tests/storage/temp_storage_test.cpp
  tests/storage/compare_overlay_test.cpp
)
if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/storage_ui_test.cpp)
endif()
list(APPEND BENCH_SOURCES tests/bench/storage_bench.cpp)
