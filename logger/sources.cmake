list(APPEND RUNTIME_CORE_SOURCES logger/logger_core.cpp logger/logger_board.cpp)

# The logger's own FPGA image (id 129), made by the library's image generator: a resource script
# for Nimbrel.exe and the same bytes as an array for the native tests.
set(KV_LOGGER_GEN_DIR ${CMAKE_BINARY_DIR}/generated/logger)
add_custom_command(
  OUTPUT ${KV_LOGGER_GEN_DIR}/logger_image.rc ${KV_LOGGER_GEN_DIR}/logger_image_data.cpp
  COMMAND ${CMAKE_COMMAND} -DOUT_DIR=${KV_LOGGER_GEN_DIR} -DMODE_IDS=129 -DFUNCTION=embeddedLoggerImage
          -DHEADER=logger/logger_board.h -DPREFIX=logger_image -P ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  COMMENT "Generating the logger's FPGA image")
list(APPEND RUNTIME_CORE_SOURCES ${KV_LOGGER_GEN_DIR}/logger_image_data.cpp)
