# Tests under Wine: the viewer in-process, the runtime's exports.
add_executable(ui_tests ${UI_TEST_SOURCES} tests/support/gtest_main.cpp ${KV_RC})
target_link_libraries(ui_tests PRIVATE kvshell gtest)
add_test(NAME ui_tests COMMAND ui_tests --gtest_output=xml:${REPORT_PREFIX}/ui_tests.xml)

add_executable(halvex_tests tests/runtime/halvex_exports_test.cpp tests/support/gtest_main.cpp)
target_link_libraries(halvex_tests PRIVATE gtest)
target_include_directories(halvex_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(halvex_tests Halvex)
add_test(NAME halvex_tests COMMAND halvex_tests --gtest_output=xml:${REPORT_PREFIX}/halvex_tests.xml)

# Wine tests share one prefix (one registry): never in parallel.
set_tests_properties(ui_tests halvex_tests core_tests runtime_tests PROPERTIES RESOURCE_LOCK wineprefix)

# The shipped files: right architecture, no MinGW runtime DLL imported.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_pe_format pei-x86-64)
else()
  set(_pe_format pei-i386)
endif()
add_test(NAME shipped_imports
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFORMAT=${_pe_format}
                 -P ${CMAKE_SOURCE_DIR}/tests/shipped_imports.cmake $<TARGET_FILE:KV> $<TARGET_FILE:Halvex> $<TARGET_FILE:Zentro>
                 $<TARGET_FILE:OmbixInterface> $<TARGET_FILE:Setuvo> $<TARGET_FILE:Nimbrel>)
