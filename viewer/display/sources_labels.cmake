list(APPEND KV_CORE_SOURCES viewer/display/label_table.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/display/label_dialogs_win.cpp)
endif()
