# Halvex.dll in several processes under Wine, on virtual boards: one program that starts copies of
# itself as the other processes.
add_executable(halvex_process_tests tests/runtime/halvex_process_test.cpp)
target_link_libraries(halvex_process_tests PRIVATE gtest advapi32)
target_include_directories(halvex_process_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(halvex_process_tests Halvex)
add_test(NAME halvex_process_tests COMMAND halvex_process_tests
         --gtest_output=xml:${REPORT_PREFIX}/halvex_process_tests.xml)
set_tests_properties(halvex_process_tests PROPERTIES RESOURCE_LOCK wineprefix)
