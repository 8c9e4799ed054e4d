# Serial service and event pump (they measure time and CPU, so they run alone), and files.
evok_test(test_runtime_serial SERIAL LIBS runtime sim
    SOURCES serial_port_test.cpp serial_notify_test.cpp events_test.cpp)
# The start-up test runs this probe, which only starts the run-time, in a clean environment.
add_executable(runtime_start_probe events_start_probe.cpp)
target_link_libraries(runtime_start_probe PRIVATE runtime)
add_dependencies(test_runtime_serial runtime_start_probe)
target_compile_definitions(test_runtime_serial
    PRIVATE EVOK_START_PROBE="$<TARGET_FILE:runtime_start_probe>")
evok_test(test_runtime_files SOURCES files_test.cpp LIBS runtime)
