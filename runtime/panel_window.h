// The window that carries a panel: a scroll area exactly the panel's size while the screen has
// room for it, smaller with scroll bars where the screen is smaller than the panel, so that no
// control is ever out of reach.
#pragma once

#include <QScrollArea>

namespace panelsvc {

class PanelWindow : public QScrollArea {
public:
    // Takes content (the panel as loaded, at its position in the description) into the window;
    // the window opens where the panel was placed.
    explicit PanelWindow(QWidget* content);

    QWidget* content() const { return widget(); }

    // Sizes the window to the panel, cut to the available area of the screen it opens on, and
    // moves it as little as needed to lie wholly inside that area.
    void fitToScreen();
};

} // namespace panelsvc
