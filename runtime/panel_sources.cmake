# Panel, plot and dialog service (Qt Widgets, Qt UiTools, QCustomPlot).
target_sources(runtime PRIVATE
    panel.cpp
    panel_registry.cpp
    widgets.cpp
    dialogs.cpp
    testing.cpp
)
