#pragma once

#include <QObject>

class QEvent;
class QWidget;

namespace panelsvc {

// Gives a control that leaves some of its pixels unpainted (the rounded corners of a spin box) a
// background of exactly what lies behind it, which makes it opaque: a new value then repaints
// the control alone, not the panel and the group box behind it as well. The background is
// taken again whenever the control or its parent changes size, place or look. Owned by the
// control.
class OpaqueBackdrop : public QObject {
public:
    static void attach(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit OpaqueBackdrop(QWidget* control);
    void refresh();
    QWidget* control_;
    bool refreshing_ = false;
};

} // namespace panelsvc
