# KVW files, text export and the pattern file. zlib is linked statically into every program that
# holds the viewer's core.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
list(APPEND KV_CORE_LIBS ZLIB::ZLIB)
list(APPEND KV_CORE_SOURCES viewer/files/kvw_codec.cpp)
