list(APPEND KV_CORE_SOURCES viewer/scope/visa_scope.cpp)
