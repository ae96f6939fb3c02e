list(APPEND CORE_TEST_SOURCES
  tests/trigger/trigger_record_test.cpp
  tests/trigger/trigger_editor_test.cpp
  tests/trigger/trigger_project_test.cpp
  tests/trigger/serial_trigger_test.cpp
)
