list(APPEND RUNTIME_CORE_SOURCES install/interface_switches.cpp install/setuvo.cpp)
