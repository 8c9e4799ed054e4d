# Panel, plot and dialog service tests: real widgets driven with Qt Test on the offscreen platform,
# both panels loaded from the panel description beside the test program.
evok_test(panel_test
    SOURCES
        panel_layout_test.cpp
        panel_load_test.cpp
        panel_events_test.cpp
        panel_attributes_test.cpp
        panel_charts_test.cpp
        panel_dialog_test.cpp
    LIBS runtime Qt6::Test)
target_compile_definitions(panel_test PRIVATE
    EVOK_SOURCE_DIR="${CMAKE_SOURCE_DIR}" EVOK_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(panel_test panel_files)

# Measures processor time: runs alone.
evok_test(panel_cpu_test SOURCES panel_cpu_test.cpp LIBS runtime SERIAL)
add_dependencies(panel_cpu_test panel_files)
