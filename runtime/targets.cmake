# Halvex.dll: the portable runtime core with its Win32 glue, the real registry, and the FPGA images
# as resources of type "FPGA".
add_library(Halvex SHARED
  runtime/halvex_exports_win.cpp
  platform/registry_win.cpp
  ${HALVEX_WIN_SOURCES}
  ${KV_FPGA_GEN_DIR}/fpga_images.rc
  runtime/halvex.def)
target_include_directories(Halvex PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(Halvex PRIVATE HALVEX_BUILD)
target_link_libraries(Halvex PRIVATE kvruntime advapi32)
set_target_properties(Halvex PROPERTIES PREFIX "" IMPORT_PREFIX "")
target_link_options(Halvex PRIVATE -Wl,--kill-at)
# ld's import library is wrong with --kill-at: rebuild it so load-time callers link.
add_custom_command(TARGET Halvex POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} -k -d ${CMAKE_SOURCE_DIR}/runtime/halvex.def -D Halvex.dll -l $<TARGET_LINKER_FILE:Halvex>)
