target_sources(runtime PRIVATE
    timing.cpp
)
