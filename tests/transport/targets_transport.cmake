# The Win32 seams of the transport under Wine.
add_executable(transport_win_tests tests/transport/win_seams_test.cpp platform/device_io_win.cpp
               platform/shared_section_win.cpp tests/support/gtest_main.cpp)
target_link_libraries(transport_win_tests PRIVATE kvruntime gtest)
target_include_directories(transport_win_tests PRIVATE ${CMAKE_SOURCE_DIR})
add_test(NAME transport_win_tests COMMAND transport_win_tests
         --gtest_output=xml:${REPORT_PREFIX}/transport_win_tests.xml)
set_tests_properties(transport_win_tests PROPERTIES RESOURCE_LOCK wineprefix)
