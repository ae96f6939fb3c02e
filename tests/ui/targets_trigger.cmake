# Configure trigger under Wine: demo mode in this program, virtual boards in started copies.
add_executable(trigger_ui_tests tests/ui/trigger_ui_test.cpp tests/ui/board_cases.cpp tests/ui/ui_harness.cpp tests/support/window_picture.cpp
               tests/support/gtest_main.cpp ${KV_RC})
target_link_libraries(trigger_ui_tests PRIVATE kvshell gtest)
target_include_directories(trigger_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME trigger_ui_tests COMMAND trigger_ui_tests --gtest_output=xml:${REPORT_PREFIX}/trigger_ui_tests.xml)
set_tests_properties(trigger_ui_tests PROPERTIES RESOURCE_LOCK wineprefix)
