# Portable parts of the runtime go into RUNTIME_CORE_SOURCES here as they are written.
