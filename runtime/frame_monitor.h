#pragma once

#include "runtime/monitor.h"

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace panelsvc {

// The frame monitor window: the source's lines, oldest first, brought up to date four times a
// second while it is shown and not paused. Clear empties the window (the frames it held do not
// come back); Save writes what it shows through FileSelectPopup; a failure shows in the status
// label. Frames that left the source while paused are counted in one line.
class FrameMonitor : public QWidget {
    Q_OBJECT
public:
    FrameMonitor(MonitorCountFn count, MonitorLineFn line, int lineMax);

    QPushButton* pauseButton() const { return pause_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* saveButton() const { return save_; }
    QString text() const;
    // Takes in every frame the source holds beyond those shown.
    void catchUp();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void clear();
    void save();

    MonitorCountFn count_;
    MonitorLineFn line_;
    int lineMax_;
    unsigned long long next_ = 0; // the first frame not yet shown
    QPlainTextEdit* view_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* save_ = nullptr;
    QTimer* poll_ = nullptr;
};

} // namespace panelsvc
