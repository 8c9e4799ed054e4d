# Serial service and event pump (they measure time and CPU, so they run alone), and files.
evok_test(test_runtime_serial SERIAL LIBS runtime sim SOURCES serial_test.cpp events_test.cpp)
evok_test(test_runtime_files SOURCES files_test.cpp LIBS runtime)
