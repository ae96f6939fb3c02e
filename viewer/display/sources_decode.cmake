list(APPEND KV_CORE_SOURCES viewer/display/decoders.cpp)
