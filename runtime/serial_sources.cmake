# Serial service, event pump, clock, file service. Shared parts first; the platform parts follow.
target_sources(runtime PRIVATE
    timing.cpp
    serial.cpp
    events.cpp
    files.cpp
    console.cpp
    line_log.cpp
)
if(UNIX)
    target_sources(runtime PRIVATE
        serial_posix.cpp
        events_posix.cpp
        files_posix.cpp
    )
endif()
# Low-latency mode is a request to Linux serial drivers; elsewhere ports open without it.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_sources(runtime PRIVATE serial_low_latency_linux.cpp)
else()
    target_sources(runtime PRIVATE serial_low_latency_none.cpp)
endif()
