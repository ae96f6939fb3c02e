list(APPEND KV_CORE_SOURCES viewer/print/page_render.cpp viewer/print/dib_file.cpp)
