# The trigger set-up: records, slots, project values and the editors' rules.
list(APPEND KV_CORE_SOURCES
  viewer/trigger/trigger_record.cpp
  viewer/trigger/trigger_setup.cpp
  viewer/trigger/trigger_project.cpp
  viewer/trigger/trigger_editor.cpp
  viewer/trigger/serial_trigger.cpp
)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/trigger/trigger_dialogs_win.cpp viewer/trigger/trigger_project_win.cpp
                             viewer/trigger/serial_trigger_dialogs_win.cpp)
endif()
