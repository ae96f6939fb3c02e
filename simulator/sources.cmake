list(APPEND RUNTIME_CORE_SOURCES
  simulator/virtual_board.cpp
  simulator/virtual_system.cpp
  simulator/virtual_capture.cpp
  simulator/virtual_logger.cpp
)
list(APPEND RUNTIME_CORE_SOURCES simulator/virtual_scope.cpp)
