list(APPEND KV_CORE_SOURCES viewer/scope/ombix_scope.cpp viewer/scope/stacking.cpp viewer/display/scope_rows.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/scope/stack_win.cpp viewer/scope/visa_binding_win.cpp)
endif()
