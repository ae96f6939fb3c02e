list(APPEND KV_CORE_SOURCES viewer/display/decoders.cpp)
list(APPEND KV_CORE_SOURCES viewer/display/decoded_rows.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/display/decode_view_win.cpp viewer/display/search_dialog_win.cpp
       viewer/display/value_column_win.cpp)
endif()
list(APPEND KV_CORE_SOURCES viewer/display/search.cpp)
list(APPEND KV_CORE_SOURCES viewer/display/measuring.cpp)
