list(APPEND RUNTIME_TEST_SOURCES tests/simulator/virtual_system_test.cpp)
