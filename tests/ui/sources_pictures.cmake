list(APPEND UI_TEST_SOURCES tests/ui/pictures_ui_test.cpp)
