# Under Wine: Zentro.dll loaded by name on virtual scopes.
add_executable(zentro_tests tests/scope_runtime/zentro_exports_test.cpp tests/support/gtest_main.cpp)
target_link_libraries(zentro_tests PRIVATE gtest advapi32)
target_include_directories(zentro_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(zentro_tests Zentro Halvex)
add_test(NAME zentro_tests COMMAND zentro_tests --gtest_output=xml:${REPORT_PREFIX}/zentro_tests.xml)
set_tests_properties(zentro_tests PROPERTIES RESOURCE_LOCK wineprefix)
