# Panel, plot and dialog service (Qt Widgets, Qt UiTools, QCustomPlot).
target_sources(runtime PRIVATE
    panel.cpp
    panel_registry.cpp
    panel_window.cpp
    event_router.cpp
    attributes.cpp
    widget_support.cpp
    direct_plot.cpp
    strip_chart.cpp
    strip_trace.cpp
    trace_raster.cpp
    xy_graph.cpp
    timer_control.cpp
    lamp.cpp
    com_port_ring.cpp
    opaque_backdrop.cpp
    picture.cpp
    indicator.cpp
    glyph_cells.cpp
    show_pace.cpp
    dialogs.cpp
    testing.cpp
    panel_hooks.cpp
    frame_monitor.cpp
    chart_recorder.cpp
)
