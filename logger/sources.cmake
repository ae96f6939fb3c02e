list(APPEND RUNTIME_CORE_SOURCES logger/logger_core.cpp)
