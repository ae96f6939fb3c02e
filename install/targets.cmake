# The installation utilities: OmbixInterface.exe (the interface switches) and Setuvo.dll (called by
# the installer). Both show their texts in the user's language through the viewer's resource loader.
add_executable(OmbixInterface WIN32
  install/ombix_interface_win.cpp
  viewer/shell/resources_win.cpp
  platform/registry_win.cpp
  install/ombix_interface.rc)
target_include_directories(OmbixInterface PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(OmbixInterface PRIVATE kvruntime advapi32 user32)

add_library(Setuvo SHARED
  install/setuvo_win.cpp
  viewer/shell/resources_win.cpp
  platform/registry_win.cpp
  install/setuvo.rc)
target_include_directories(Setuvo PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Setuvo PRIVATE kvruntime advapi32 user32)
kv_undecorated_exports(Setuvo ${CMAKE_SOURCE_DIR}/install/setuvo.def)

# Under Wine: the dialog program driven from another process, the library's calls with their questions.
add_executable(install_tests tests/install/install_win_test.cpp tests/support/gtest_main.cpp)
target_link_libraries(install_tests PRIVATE gtest advapi32 user32)
add_dependencies(install_tests OmbixInterface Setuvo)
add_test(NAME install_tests COMMAND install_tests --gtest_output=xml:${REPORT_PREFIX}/install_tests.xml)
set_tests_properties(install_tests PROPERTIES RESOURCE_LOCK wineprefix)
add_executable(port_service_stub tests/install/port_service_stub.cpp)
target_link_libraries(port_service_stub PRIVATE advapi32)
add_dependencies(install_tests port_service_stub)
