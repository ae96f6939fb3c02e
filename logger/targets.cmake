# Nimbrel.exe: the data logger. Its own copy of the transport (the runtime core, linked statically),
# the Win32 device files and shared section, and its FPGA image as resource 129.
set_source_files_properties(logger/nimbrel.rc PROPERTIES OBJECT_DEPENDS ${KV_LOGGER_GEN_DIR}/logger_image.rc)
add_executable(Nimbrel WIN32
  logger/nimbrel_win.cpp
  viewer/shell/resources_win.cpp
  platform/device_io_win.cpp
  platform/shared_section_win.cpp
  ${KV_LOGGER_GEN_DIR}/logger_image.rc
  logger/nimbrel.rc)
set_source_files_properties(${KV_LOGGER_GEN_DIR}/logger_image.rc PROPERTIES HEADER_FILE_ONLY ON)
target_include_directories(Nimbrel PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/logger ${KV_LOGGER_GEN_DIR})
target_link_libraries(Nimbrel PRIVATE kvruntime comdlg32 user32 advapi32)
