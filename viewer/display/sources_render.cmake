list(APPEND KV_CORE_SOURCES
  viewer/display/wave_render.cpp
  viewer/display/wave_render_reference.cpp
  viewer/display/trace_blocks.cpp
)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/display/wave_view_win.cpp)
endif()
