#include "runtime/panel_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

namespace panelsvc {

PanelWindow::PanelWindow(QWidget* content) : QScrollArea(nullptr) {
    setWindowFlags(Qt::Window);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    const QPoint placed = content->pos();
    content->move(0, 0);
    setWidget(content);
    setWindowTitle(content->windowTitle());
    move(placed);
    resize(content->size());
}

void PanelWindow::fitToScreen() {
    const QSize panel = content()->size();
    QScreen* screen = QGuiApplication::screenAt(pos() + QPoint(panel.width(), panel.height()) / 2);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // The window manager's frame, known once the window has been shown; none before.
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    const QSize room = area.size() - frame;
    QSize size = panel.boundedTo(room);
    // A scroll bar takes room from the other direction.
    if (size.width() < panel.width())
        size.setHeight(
            std::min(room.height(), panel.height() + horizontalScrollBar()->sizeHint().height()));
    if (size.height() < panel.height())
        size.setWidth(
            std::min(room.width(), panel.width() + verticalScrollBar()->sizeHint().width()));
    setMaximumSize(panel.width() + verticalScrollBar()->sizeHint().width(),
                   panel.height() + horizontalScrollBar()->sizeHint().height());
    resize(size);
    const QSize outer = size + frame;
    const int x = std::clamp(frameGeometry().x(), area.left(), area.right() + 1 - outer.width());
    const int y = std::clamp(frameGeometry().y(), area.top(), area.bottom() + 1 - outer.height());
    move(std::max(x, area.left()), std::max(y, area.top()));
}

} // namespace panelsvc
