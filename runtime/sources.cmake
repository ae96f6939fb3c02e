# Portable parts of the runtime: tables, records, discovery, board control and the exports' logic.
list(APPEND RUNTIME_CORE_SOURCES
  runtime/slot_record.cpp
  runtime/mode_table.cpp
  runtime/board_names.cpp
  runtime/board_caps.cpp
  runtime/fpga_image.cpp
  runtime/discovery.cpp
  runtime/board_control.cpp
  runtime/hw_info.cpp
  runtime/halvex_runtime.cpp
  runtime/rate_tables.cpp
  runtime/sample_clock.cpp
  runtime/trigger_program.cpp
  runtime/capture.cpp
)

# The FPGA images are generated at build time by a CMake script (no host compiler exists in the
# cross build): a resource script for Halvex.dll and the same bytes as arrays for native programs.
set(KV_FPGA_GEN_DIR ${CMAKE_BINARY_DIR}/generated/runtime)
add_custom_command(
  OUTPUT ${KV_FPGA_GEN_DIR}/fpga_images.rc ${KV_FPGA_GEN_DIR}/fpga_images_data.cpp
  COMMAND ${CMAKE_COMMAND} -DOUT_DIR=${KV_FPGA_GEN_DIR} -P ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  COMMENT "Generating the FPGA images")
# The arrays serve the native programs and the portable tests of both trees; Halvex.dll itself reads
# the resources and never links them.
list(APPEND RUNTIME_CORE_SOURCES ${KV_FPGA_GEN_DIR}/fpga_images_data.cpp)
