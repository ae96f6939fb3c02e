list(APPEND CORE_TEST_SOURCES tests/commands/command_set_test.cpp)
