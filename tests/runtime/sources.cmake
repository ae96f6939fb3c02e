list(APPEND RUNTIME_TEST_SOURCES tests/runtime/placeholder_test.cpp)
