list(APPEND CORE_TEST_SOURCES tests/display/decoders_test.cpp tests/support/bus_traffic.cpp)
list(APPEND BENCH_SOURCES tests/bench/decoders_bench.cpp)
list(APPEND CORE_TEST_SOURCES tests/display/decode_crosscheck_test.cpp tests/support/bus_cases.cpp
     tools/kvdecode/kvdecode_cli.cpp)
# The stored sigrok sequences, read from the source tree (through Wine's Z: drive in the cross trees).
if(WIN32)
  set(_kv_data_dir "Z:${CMAKE_SOURCE_DIR}/tests/data")
else()
  set(_kv_data_dir "${CMAKE_SOURCE_DIR}/tests/data")
endif()
set_source_files_properties(tests/display/decode_crosscheck_test.cpp PROPERTIES
  COMPILE_DEFINITIONS "KV_TEST_DATA_DIR=\"${_kv_data_dir}\"")
list(APPEND CORE_TEST_SOURCES tests/display/search_test.cpp)
list(APPEND BENCH_SOURCES tests/bench/search_bench.cpp)
list(APPEND CORE_TEST_SOURCES tests/display/measuring_test.cpp)
