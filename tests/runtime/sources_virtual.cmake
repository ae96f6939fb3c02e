list(APPEND RUNTIME_TEST_SOURCES tests/runtime/virtual_hardware_test.cpp)
