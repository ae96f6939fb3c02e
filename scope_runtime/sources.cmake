# Portable parts of the scope library: tables, capture set-up, sample check, calibration, the scope
# link and the library's state, tested natively against virtual scopes.
list(APPEND RUNTIME_CORE_SOURCES
  scope_runtime/scope_setup.cpp
  scope_runtime/sample_check.cpp
  scope_runtime/calibration.cpp
  scope_runtime/scope_unit.cpp
  scope_runtime/zentro_runtime.cpp
)

# The scope's own FPGA image (id 3002) from the library's image generator: a resource script for
# Zentro.dll and the same bytes as an array for the native tests.
set(KV_ZENTRO_GEN_DIR ${CMAKE_BINARY_DIR}/generated/zentro)
add_custom_command(
  OUTPUT ${KV_ZENTRO_GEN_DIR}/scope_image.rc ${KV_ZENTRO_GEN_DIR}/scope_image_data.cpp
  COMMAND ${CMAKE_COMMAND} -DOUT_DIR=${KV_ZENTRO_GEN_DIR} -DMODE_IDS=3002 -DFUNCTION=embeddedScopeImage
          -DHEADER=scope_runtime/scope_image.h -DPREFIX=scope_image -P ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/runtime/fpga_images_gen.cmake
  COMMENT "Generating the scope's FPGA image")
list(APPEND RUNTIME_CORE_SOURCES ${KV_ZENTRO_GEN_DIR}/scope_image_data.cpp)
