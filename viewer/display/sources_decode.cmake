list(APPEND KV_CORE_SOURCES viewer/display/decoders.cpp)
list(APPEND KV_CORE_SOURCES viewer/display/decoded_rows.cpp)
