# Portable parts of the runtime go into KV_CORE_SOURCES here as they are written.
