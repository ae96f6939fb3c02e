# kvdecode, the command-line decoder: the viewer's decoder code as a console program, in every tree.
add_executable(kvdecode tools/kvdecode/kvdecode.cpp tools/kvdecode/kvdecode_cli.cpp)
target_link_libraries(kvdecode PRIVATE kvcore)
target_include_directories(kvdecode PRIVATE ${CMAKE_SOURCE_DIR})
# The traffic generator of the tests as a program, for the sigrok cross-check script.
add_executable(bus_traffic_gen tests/support/bus_traffic_gen.cpp tests/support/bus_traffic.cpp tests/support/bus_cases.cpp)
target_include_directories(bus_traffic_gen PRIVATE ${CMAKE_SOURCE_DIR})
