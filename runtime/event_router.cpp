// Operator input that Qt's signals do not carry: left click from a mouse press, and close from a
// panel window's close box.
#include "runtime/panel_internal.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

namespace panelsvc {
namespace {

// The control (panel handle, identifier) that a widget belongs to: the widget itself or its
// nearest ancestor with a ctrlId, on a panel window.
bool LocateControl(QObject* object, int* panel, int* control, QWidget** controlWidget) {
    auto* w = qobject_cast<QWidget*>(object);
    while (w && !w->property("ctrlId").isValid()) {
        if (w->isWindow()) return false; // popups of a control are windows of their own
        w = w->parentWidget();
    }
    if (!w) return false;
    const QVariant handle = w->window()->property("evokPanelHandle");
    if (!handle.isValid()) return false;
    *panel = handle.toInt();
    *control = w->property("ctrlId").toInt();
    *controlWidget = w;
    return true;
}

// Left click from a mouse press, and close from a panel window's close box.
class EventRouter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return onPress(watched, static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return onRelease(watched, event);
        case QEvent::Close:
            return onClose(watched, event);
        default:
            return false;
        }
    }

private:
    // A press whose left-click callback is running; a release of the same widget that arrives
    // meanwhile (the callback processes events) is held back and delivered after the press, so
    // the button still sees press then release and gives its commit.
    struct HeldPress {
        QObject* object;
        std::unique_ptr<QEvent> release;
    };

    bool onPress(QObject* watched, QMouseEvent* event) {
        if (event->button() != Qt::LeftButton) return false;
        int panel = 0, control = 0;
        QWidget* controlWidget = nullptr;
        if (!LocateControl(watched, &panel, &control, &controlWidget)) return false;
        if (!controlWidget->isEnabled()) return false; // dimmed: the press goes nowhere
        const Control* c = FindControl(panel, control);
        if (!c || !c->callback) return false;
        // A press a child of the control did not take travels on to the control itself: one
        // left click for it, not two.
        const bool propagated = event->timestamp() == lastPress_.timestamp &&
                                panel == lastPress_.panel && control == lastPress_.control &&
                                watched != lastPress_.object;
        lastPress_ = {event->timestamp(), panel, control, watched};
        if (propagated) return false;
        const QPoint at =
            PanelPosition(controlWidget) +
            controlWidget->mapFrom(qobject_cast<QWidget*>(watched), event->position().toPoint());
        HeldPress held{watched, nullptr};
        held_.push_back(&held);
        QPointer<QObject> alive(watched);
        RaiseCtrlEvent(panel, control, kEvLeftClick, at.y(), at.x());
        held_.erase(std::find(held_.begin(), held_.end(), &held));
        if (!alive || !FindControl(panel, control)) return true; // the control went away
        if (held.release) QCoreApplication::postEvent(watched, held.release.release());
        return false;
    }

    bool onRelease(QObject* watched, QEvent* event) {
        for (HeldPress* h : held_) {
            if (h->object == watched && !h->release) {
                h->release.reset(event->clone());
                return true;
            }
        }
        return false;
    }

    bool onClose(QObject* watched, QEvent* event) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || !w->isWindow()) return false;
        const QVariant handle = w->property("evokPanelHandle");
        if (!handle.isValid()) return false;
        event->ignore(); // the panel callback decides what closing means
        RaisePanelEvent(handle.toInt(), kEvClose);
        return true;
    }

    std::vector<HeldPress*> held_;
    struct {
        quint64 timestamp = 0;
        int panel = -1, control = -1;
        QObject* object = nullptr;
    } lastPress_;
};

} // namespace

QObject* Router() {
    // Lives as long as the program; never destroyed after the application object.
    static EventRouter* router = new EventRouter;
    return router;
}

} // namespace panelsvc
