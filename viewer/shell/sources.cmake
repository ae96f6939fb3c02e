list(APPEND KV_CORE_SOURCES
  viewer/shell/sample_store.cpp
  viewer/shell/capture_buffer.cpp
  viewer/shell/settings.cpp
  viewer/shell/message_table.cpp
  viewer/shell/startup_rules.cpp
  viewer/shell/panel_layout.cpp
  viewer/shell/panel_commands.cpp
  viewer/shell/hardware_info.cpp
)
if(WIN32)
  list(APPEND KV_WIN_SOURCES
    viewer/shell/app_win.cpp
    viewer/shell/shell_dispatch_win.cpp
    viewer/shell/resources_win.cpp
    viewer/shell/prompts_win.cpp
    viewer/shell/main_window_win.cpp
    viewer/shell/main_panel_win.cpp
    viewer/shell/dialogs_win.cpp
    viewer/shell/help_win.cpp
  )
endif()
