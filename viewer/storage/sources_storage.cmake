# Waveform temporary storage: the compare buffer, the slot files and the storage dialog.
list(APPEND KV_CORE_SOURCES viewer/storage/temp_storage.cpp)
if(WIN32)
  list(APPEND KV_WIN_SOURCES viewer/storage/storage_dialog_win.cpp)
endif()
