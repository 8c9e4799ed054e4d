#pragma once

#include <QTimer>
#include <QWidget>

namespace panelsvc {

// Timer control: invisible at run time; ticks every interval while enabled.
// Description properties: interval (double seconds, 0.1), timerEnabled (bool, true).
class TimerControl : public QWidget {
    Q_OBJECT
public:
    explicit TimerControl(QWidget* parent = nullptr);
    void configure();
    void setTicking(bool on);

signals:
    void tick();

private:
    QTimer timer_;
};

} // namespace panelsvc
