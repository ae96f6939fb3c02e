list(APPEND KV_CORE_SOURCES viewer/commands/command_set.cpp viewer/commands/command_project.cpp)
