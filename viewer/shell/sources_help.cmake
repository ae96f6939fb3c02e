list(APPEND KV_CORE_SOURCES viewer/shell/help_topics.cpp)
