#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>

namespace panelsvc {

// Timer control: invisible at run time; ticks every interval while enabled.
// Description properties: interval (double seconds, 0.1), timerEnabled (bool, true), coalesce
// (bool, false).
//
// A coalescing timer does not wake the program for every tick. Its ticks are counted by the clock
// from the moment it was enabled and delivered together: before the panel service raises any
// other event, before the serial service calls its receive notification, before
// ProcessSystemEvents returns, and at the latest once a second. Every callback therefore sees
// every tick that has come due, in order, and an idle program wakes once a second for it instead
// of once an interval. Meant for a timer whose callback only counts.
class TimerControl : public QWidget {
    Q_OBJECT
public:
    explicit TimerControl(QWidget* parent = nullptr);
    ~TimerControl() override;
    void configure();
    void setTicking(bool on);

signals:
    void tick();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    friend void DeliverDueTicks();
    std::uint64_t dueNow() const;
    void deliverDue();

    QBasicTimer timer_;
    int intervalMs_ = 100;
    bool coalesce_ = false;
    QElapsedTimer since_;         // a coalescing timer's clock, started when it was enabled
    std::uint64_t delivered_ = 0; // ... and the ticks delivered since
};

} // namespace panelsvc
