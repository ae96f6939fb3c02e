list(APPEND CORE_TEST_SOURCES tests/display/decoders_test.cpp tests/support/bus_traffic.cpp)
