list(APPEND KV_CORE_SOURCES platform/registry_memory.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES platform/registry_win.cpp)
endif()
