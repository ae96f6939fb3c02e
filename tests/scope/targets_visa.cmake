# The VISA stand-in for the stacking tests, in a folder of its own so that only the tests that put
# it on PATH find it (the others check the viewer without VISA). Never installed.
add_library(VISA32 SHARED tests/scope/visa32_standin_win.cpp simulator/virtual_scpi_scope.cpp)
target_include_directories(VISA32 PRIVATE ${CMAKE_SOURCE_DIR})
kv_undecorated_exports(VISA32 ${CMAKE_SOURCE_DIR}/tests/scope/visa32_standin.def)
set_target_properties(VISA32 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/visa)
