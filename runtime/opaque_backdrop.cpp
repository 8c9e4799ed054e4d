#include "runtime/opaque_backdrop.h"

#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <vector>

namespace panelsvc {

void OpaqueBackdrop::attach(QWidget* control) {
    auto* backdrop = new OpaqueBackdrop(control);
    control->installEventFilter(backdrop);
    if (QWidget* parent = control->parentWidget()) parent->installEventFilter(backdrop);
    backdrop->refresh();
}

OpaqueBackdrop::OpaqueBackdrop(QWidget* control) : QObject(control), control_(control) {}

bool OpaqueBackdrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == control_) {
        if (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) refresh();
    } else if (watched == control_->parentWidget()) {
        if (type == QEvent::Resize || type == QEvent::PaletteChange ||
            type == QEvent::StyleChange || type == QEvent::FontChange ||
            type == QEvent::EnabledChange || type == QEvent::Show)
            refresh();
    }
    return false;
}

void OpaqueBackdrop::refresh() {
    QWidget* parent = control_->parentWidget();
    if (refreshing_ || !parent || !control_->isVisible() || control_->size().isEmpty()) return;
    refreshing_ = true;
    const qreal ratio = control_->devicePixelRatioF();
    QPixmap behind(control_->size() * ratio);
    behind.setDevicePixelRatio(ratio);
    behind.fill(parent->palette().color(QPalette::Window));
    // What the window and each widget between it and the control paint under the control,
    // outermost first, each without its children.
    std::vector<QWidget*> chain;
    for (QWidget* a = parent; a; a = a->isWindow() ? nullptr : a->parentWidget())
        chain.push_back(a);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const QRect area(control_->mapTo(*it, QPoint(0, 0)), control_->size());
        const QWidget::RenderFlags flags = (*it)->isWindow() || (*it)->autoFillBackground()
                                               ? QWidget::DrawWindowBackground
                                               : QWidget::RenderFlags();
        (*it)->render(&behind, QPoint(), QRegion(area), flags);
    }
    // The control's own colour stays what it was: styles shade frames from it.
    const QColor color = control_->palette().color(control_->backgroundRole());
    const QImage image = behind.toImage();
    bool uniform = true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height() && uniform; ++y)
        for (int x = 0; x < image.width() && uniform; ++x)
            uniform = image.pixel(x, y) == first;
    QPalette palette = control_->palette();
    palette.setBrush(control_->backgroundRole(),
                     uniform && QColor(first) == color ? QBrush(color) : QBrush(color, behind));
    control_->setPalette(palette);
    control_->setAutoFillBackground(true);
    refreshing_ = false;
}

} // namespace panelsvc
