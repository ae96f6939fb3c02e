list(APPEND KV_CORE_SOURCES viewer/commands/command_set.cpp viewer/commands/command_project.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/commands/command_set_win.cpp)
endif()
