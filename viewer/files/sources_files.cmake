# KVW files, text export and the pattern file. zlib is linked statically into every program that
# holds the viewer's core.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
list(APPEND KV_CORE_LIBS ZLIB::ZLIB)
list(APPEND KV_CORE_SOURCES
  viewer/files/kvw_codec.cpp
  viewer/files/kvw_trigger.cpp
  viewer/files/wave_save.cpp
  viewer/files/text_export.cpp
  viewer/files/qgw_file.cpp
)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/files/kvw_file_win.cpp)
endif()
# The first-run capture ships beside the program in the installation; in a build tree it waits in
# bin/demo, where tests and the run script point the work directory at it.
configure_file(${CMAKE_SOURCE_DIR}/viewer/res/demo/Demo01.kvw ${CMAKE_BINARY_DIR}/bin/demo/Demo01.kvw COPYONLY)
