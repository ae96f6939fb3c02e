list(APPEND KV_CORE_SOURCES viewer/scope/ombix_scope.cpp viewer/scope/stacking.cpp viewer/display/scope_rows.cpp)
