# A DLL whose stdcall exports carry undecorated names (KvHasHw, not KvHasHw@4), from a .def that
# lists the 32-bit decorated names. 64-bit Windows has one calling convention and decorates nothing:
# there the same .def is used with the @N suffixes removed.
function(kv_undecorated_exports target def)
  set(_def ${def})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    get_filename_component(_name ${def} NAME)
    set(_def ${CMAKE_CURRENT_BINARY_DIR}/x64_${_name})
    file(READ ${def} _text)
    string(REGEX REPLACE "@[0-9]+" "" _text "${_text}")
    file(CONFIGURE OUTPUT ${_def} CONTENT "${_text}" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  endif()
  target_sources(${target} PRIVATE ${_def})
  set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  # ld's import library is wrong with --kill-at: rebuild it so load-time callers link.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -k -d ${_def} -D $<TARGET_FILE_NAME:${target}> -l $<TARGET_LINKER_FILE:${target}>)
endfunction()
