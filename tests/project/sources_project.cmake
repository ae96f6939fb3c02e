list(APPEND CORE_TEST_SOURCES tests/project/project_store_test.cpp)
if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/project_ui_test.cpp)
endif()
