# Serial service, event pump and file service tests. The serial and event programs measure time
# and CPU, so they run alone.
evok_test(test_runtime_serial
    SOURCES serial_port_test.cpp serial_notify_test.cpp serial_sim_test.cpp
    LIBS runtime sim
    SERIAL)

# A program that does nothing but start the run-time, run by the start-up test in a clean
# environment.
add_executable(runtime_start_probe events_start_probe.cpp)
target_link_libraries(runtime_start_probe PRIVATE runtime)

evok_test(test_runtime_events
    SOURCES events_test.cpp
    LIBS runtime sim
    SERIAL)
add_dependencies(test_runtime_events runtime_start_probe)
target_compile_definitions(test_runtime_events
    PRIVATE EVOK_START_PROBE="$<TARGET_FILE:runtime_start_probe>")

evok_test(test_runtime_files
    SOURCES files_test.cpp
    LIBS runtime)
