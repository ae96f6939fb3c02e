list(APPEND RUNTIME_CORE_SOURCES
  simulator/virtual_board.cpp
  simulator/virtual_system.cpp
  simulator/virtual_capture.cpp
  simulator/virtual_logger.cpp
)
list(APPEND RUNTIME_CORE_SOURCES simulator/virtual_scope.cpp)
# The SCPI scope behind the VISA calls: only tests (and the VISA stand-in) use it.
list(APPEND CORE_TEST_SOURCES simulator/virtual_scpi_scope.cpp)
