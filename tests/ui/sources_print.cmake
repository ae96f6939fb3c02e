if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/print_ui_test.cpp)
endif()
