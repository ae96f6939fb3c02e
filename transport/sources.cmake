list(APPEND RUNTIME_CORE_SOURCES
  transport/usb_channel.cpp
  transport/kernel_driver.cpp
  transport/board_io.cpp
)
