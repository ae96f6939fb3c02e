list(APPEND RUNTIME_TEST_SOURCES tests/install/install_rules_test.cpp)
