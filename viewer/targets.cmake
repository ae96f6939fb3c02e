# The viewer's Win32 shell as a library, so the in-process UI tests link exactly the program's code.
add_library(kvshell STATIC ${KV_WIN_SOURCES})
target_include_directories(kvshell PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kvshell PUBLIC kvcore Halvex comctl32 comdlg32 version gdi32 user32 advapi32)

# Resources are listed in each program's own sources: from a static library they never arrive.
set(KV_RC ${CMAKE_SOURCE_DIR}/viewer/res/KV.rc)
set_source_files_properties(${KV_RC} PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/viewer/res/resource.h")
file(GLOB KV_RC_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/viewer/res/*.rc ${CMAKE_SOURCE_DIR}/viewer/res/*.h
     ${CMAKE_SOURCE_DIR}/viewer/res/art/* ${CMAKE_SOURCE_DIR}/viewer/res/text/* ${CMAKE_SOURCE_DIR}/viewer/*/*_resources.h)
set_property(SOURCE ${KV_RC} APPEND PROPERTY OBJECT_DEPENDS ${KV_RC_PARTS})

add_executable(KV WIN32 viewer/shell/winmain_win.cpp ${KV_RC})
target_link_libraries(KV PRIVATE kvshell)
