# Stacking on virtual devices: the viewer with a virtual board and a virtual scope behind Zentro.dll.
add_executable(stacking_ui_tests tests/ui/stacking_ui_test.cpp tests/ui/board_cases.cpp tests/ui/ui_harness.cpp
               tests/support/window_picture.cpp tests/support/gtest_main.cpp ${KV_RC})
target_link_libraries(stacking_ui_tests PRIVATE kvshell gtest)
target_include_directories(stacking_ui_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(stacking_ui_tests Zentro VISA32)
add_test(NAME stacking_ui_tests COMMAND stacking_ui_tests --gtest_output=xml:${REPORT_PREFIX}/stacking_ui_tests.xml)
set_tests_properties(stacking_ui_tests PROPERTIES RESOURCE_LOCK wineprefix)
