if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/files_ui_test.cpp)
endif()
