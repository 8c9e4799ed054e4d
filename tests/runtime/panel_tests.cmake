# Panel, plot and dialog service tests: real widgets driven with Qt Test, offscreen.
evok_test(panel_test LIBS evok sim Qt6::Test QCustomPlotQt6::QCustomPlotQt6 SOURCES panel_events_test.cpp panel_load_test.cpp
    panel_attributes_test.cpp panel_layout_test.cpp
    panel_comforts_test.cpp)
target_compile_definitions(panel_test PRIVATE
    EVOK_SOURCE_DIR="${CMAKE_SOURCE_DIR}" EVOK_BUILD_DIR="${CMAKE_BINARY_DIR}")
