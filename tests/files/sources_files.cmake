list(APPEND CORE_TEST_SOURCES tests/files/kvw_codec_test.cpp)
if(NOT WIN32 AND NOT KV_BENCHMARKS)
  # Writes the shipped Demo01.kvw and the fuzz seed corpus (see the file's head for the command).
  add_executable(make_kvw_files tests/files/make_kvw_files.cpp)
  target_link_libraries(make_kvw_files PRIVATE kvcore)
  # Defined before the tree's sanitizer link options are set: the core is built with them.
  if(KV_SANITIZE)
    target_link_options(make_kvw_files PRIVATE -fsanitize=address,undefined)
  endif()
endif()
list(APPEND BENCH_SOURCES tests/bench/kvw_bench.cpp)
list(APPEND CORE_TEST_SOURCES tests/files/file_export_test.cpp)
list(APPEND CORE_TEST_SOURCES tests/files/kvw_trigger_test.cpp)
