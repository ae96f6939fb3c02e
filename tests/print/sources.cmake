list(APPEND CORE_TEST_SOURCES tests/print/page_render_test.cpp)
