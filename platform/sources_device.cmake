# Device-file and shared-section seams: portable parts in the runtime core, Win32 parts in Halvex.
list(APPEND RUNTIME_CORE_SOURCES
  platform/device_io.cpp
  platform/shared_section.cpp
)
if(WIN32)
  list(APPEND HALVEX_WIN_SOURCES
    platform/device_io_win.cpp
    platform/shared_section_win.cpp
    platform/module_resource_win.cpp
  )
endif()
