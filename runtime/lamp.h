#pragma once

#include <QColor>
#include <QSize>
#include <QTimer>
#include <QWidget>

namespace panelsvc {

// Round indicator lamp: dark, lit, or blinking (lit half of every 0.5 s).
// Description properties: onColor (string "#rrggbb", green), lampState (int 0 dark, 1 lit,
// 2 blinking).
class Lamp : public QWidget {
    Q_OBJECT
public:
    enum State { kDark = 0, kLit = 1, kBlinking = 2 };
    explicit Lamp(QWidget* parent = nullptr);
    void configure();
    void setState(State state);
    State state() const { return state_; }
    bool litNow() const; // what the lamp shows at this moment
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    State state_ = kDark;
    bool phase_ = true;
    QColor onColor_{0x00, 0xC0, 0x00};
    QTimer blink_;
};

} // namespace panelsvc
