if(WIN32)
  list(APPEND UI_TEST_SOURCES tests/ui/decode_ui_test.cpp tests/support/bus_traffic.cpp)
endif()
