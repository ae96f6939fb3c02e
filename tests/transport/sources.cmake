list(APPEND RUNTIME_TEST_SOURCES
  tests/transport/usb_channel_test.cpp
  tests/transport/board_io_test.cpp
)
list(APPEND BENCH_SOURCES tests/transport/transport_bench.cpp)
