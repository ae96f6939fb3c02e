# Acquisition on virtual boards: a program that starts copies of itself, each with its own boards.
add_executable(acquire_ui_tests tests/ui/acquire_ui_test.cpp tests/ui/board_cases.cpp tests/ui/ui_harness.cpp
               tests/support/window_picture.cpp tests/support/gtest_main.cpp ${KV_RC})
target_link_libraries(acquire_ui_tests PRIVATE kvshell gtest)
target_include_directories(acquire_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME acquire_ui_tests COMMAND acquire_ui_tests --gtest_output=xml:${REPORT_PREFIX}/acquire_ui_tests.xml)
set_tests_properties(acquire_ui_tests PROPERTIES RESOURCE_LOCK wineprefix)
