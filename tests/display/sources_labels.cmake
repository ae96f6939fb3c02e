list(APPEND CORE_TEST_SOURCES tests/display/label_table_test.cpp)
if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/labels_ui_test.cpp)
endif()
