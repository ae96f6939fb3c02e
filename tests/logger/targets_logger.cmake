# Under Wine: Nimbrel.exe on virtual Nanlyn boards, driven through its dialog from another process.
add_executable(logger_tests tests/logger/nimbrel_win_test.cpp tests/support/window_picture.cpp tests/support/gtest_main.cpp)
target_link_libraries(logger_tests PRIVATE gtest gdi32 user32)
target_include_directories(logger_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_dependencies(logger_tests Nimbrel)
add_test(NAME logger_tests COMMAND logger_tests --gtest_output=xml:${REPORT_PREFIX}/logger_tests.xml)
set_tests_properties(logger_tests PROPERTIES RESOURCE_LOCK wineprefix)
