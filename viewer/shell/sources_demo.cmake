# Demo mode: the virtual target system, its dialog, the acquisition.
list(APPEND KV_CORE_SOURCES
  viewer/shell/demo_generator.cpp
  viewer/shell/demo_dialog.cpp
)
if(WIN32)
  # The generator compares quotients as doubles; x87 registers would keep them in 80 bits and
  # let the comparison depend on register pressure. SSE rounds every quotient to double.
  set_source_files_properties(viewer/shell/demo_generator.cpp PROPERTIES COMPILE_OPTIONS "-msse2;-mfpmath=sse")
endif()
if(WIN32)
  list(APPEND KV_WIN_SOURCES
    viewer/shell/acquisition_win.cpp
    viewer/shell/demo_dialog_win.cpp
  )
endif()
