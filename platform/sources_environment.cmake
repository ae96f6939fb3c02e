# Environment seam. Each tree links exactly one twin into the runtime core: every Windows program
# built on the core (Halvex.dll and its test programs) reads the process environment block.
if(WIN32)
  list(APPEND RUNTIME_CORE_SOURCES platform/environment_win.cpp)
else()
  list(APPEND RUNTIME_CORE_SOURCES platform/environment.cpp)
endif()
