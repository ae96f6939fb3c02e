# Projects and files on a virtual Nanlyn board, in started copies of this program.
add_executable(project_ui_tests tests/ui/project_board_ui_test.cpp tests/ui/board_cases.cpp tests/ui/ui_harness.cpp
               tests/support/window_picture.cpp tests/support/gtest_main.cpp ${KV_RC})
target_link_libraries(project_ui_tests PRIVATE kvshell gtest)
target_include_directories(project_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME project_ui_tests COMMAND project_ui_tests --gtest_output=xml:${REPORT_PREFIX}/project_ui_tests.xml)
set_tests_properties(project_ui_tests PROPERTIES RESOURCE_LOCK wineprefix)
