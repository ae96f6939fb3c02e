# Zentro.dll: the scope library. Its own copy of the transport (the runtime core, linked
# statically), the Win32 device files, shared section and registry, and its FPGA image as the
# resource "FPGA" 3002.
add_library(Zentro SHARED
  scope_runtime/zentro_exports_win.cpp
  platform/registry_win.cpp
  platform/device_io_win.cpp
  platform/shared_section_win.cpp
  platform/module_resource_win.cpp
  ${KV_ZENTRO_GEN_DIR}/scope_image.rc)
target_include_directories(Zentro PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Zentro PRIVATE kvruntime advapi32 user32)
kv_undecorated_exports(Zentro ${CMAKE_SOURCE_DIR}/scope_runtime/zentro.def)
