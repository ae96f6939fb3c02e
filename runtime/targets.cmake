# Halvex.dll: the portable runtime core with its Win32 glue, the real registry, and the FPGA images
# as resources of type "FPGA".
add_library(Halvex SHARED
  runtime/halvex_exports_win.cpp
  platform/registry_win.cpp
  ${HALVEX_WIN_SOURCES}
  ${KV_FPGA_GEN_DIR}/fpga_images.rc)
target_include_directories(Halvex PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(Halvex PRIVATE HALVEX_BUILD)
target_link_libraries(Halvex PRIVATE kvruntime advapi32)
kv_undecorated_exports(Halvex ${CMAKE_SOURCE_DIR}/runtime/halvex.def)
