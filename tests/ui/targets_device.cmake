# The viewer on virtual boards: a program that starts copies of itself, each with its own boards in
# HALVEX_VIRTUAL, because the library probes when the process loads it.
add_executable(device_ui_tests tests/ui/device_ui_test.cpp tests/ui/board_cases.cpp tests/ui/ui_harness.cpp tests/support/window_picture.cpp tests/support/gtest_main.cpp
               ${KV_RC})
target_link_libraries(device_ui_tests PRIVATE kvshell gtest)
target_include_directories(device_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME device_ui_tests COMMAND device_ui_tests --gtest_output=xml:${REPORT_PREFIX}/device_ui_tests.xml)
set_tests_properties(device_ui_tests PROPERTIES RESOURCE_LOCK wineprefix)
