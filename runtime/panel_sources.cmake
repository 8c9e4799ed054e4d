target_sources(runtime PRIVATE
)
