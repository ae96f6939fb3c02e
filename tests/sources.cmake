list(APPEND CORE_TEST_SOURCES
  tests/shell/sample_store_test.cpp
  tests/shell/settings_test.cpp
  tests/shell/startup_rules_test.cpp
  tests/shell/message_table_test.cpp
  tests/shell/panel_layout_test.cpp
  tests/shell/hardware_info_test.cpp
)
list(APPEND BENCH_SOURCES tests/bench/sample_store_bench.cpp)
if(WIN32)
  list(APPEND UI_TEST_SOURCES
    tests/ui/ui_harness.cpp tests/support/window_picture.cpp
    tests/ui/startup_ui_test.cpp
    tests/ui/panel_ui_test.cpp
  )
endif()
