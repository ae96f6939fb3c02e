list(APPEND KV_CORE_SOURCES
  viewer/display/formatting.cpp
  viewer/display/time_base.cpp
  viewer/display/cursors.cpp
)
