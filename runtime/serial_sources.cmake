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
