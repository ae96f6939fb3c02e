if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/display/cursor_view_win.cpp)
endif()
