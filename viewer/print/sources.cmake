list(APPEND KV_CORE_SOURCES viewer/print/page_render.cpp viewer/print/dib_file.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/print/print_win.cpp)
endif()
