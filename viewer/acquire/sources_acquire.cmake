# Acquisition with a board: the worker's rules, sample modes and thresholds.
list(APPEND KV_CORE_SOURCES
  viewer/acquire/acquire_rules.cpp
  viewer/acquire/board_capture.cpp
  viewer/acquire/environment.cpp
  viewer/acquire/sample_modes.cpp
  viewer/acquire/threshold_scale.cpp
)
if(WIN32)
  list(APPEND KV_WIN_SOURCES
    viewer/acquire/board_acquisition_win.cpp
    viewer/acquire/threshold_dialogs_win.cpp
    viewer/acquire/sample_mode_win.cpp
  )
endif()
