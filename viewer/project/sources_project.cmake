# Projects: the portable store (names, view values, label file, value handlers) and the dialogs.
list(APPEND KV_CORE_SOURCES viewer/project/project_store.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/project/project_win.cpp viewer/project/project_values_win.cpp)
endif()
