#include "runtime/show_pace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace panelsvc {

namespace {

struct Waiting {
    QPointer<QObject> owner;
    std::function<void()> show;
};

std::vector<Waiting> waiting;
QElapsedTimer sinceShown; // invalid until the first show
bool posted = false;      // a show is queued for the next event processing
int gapMs = kShowGapMs;

void ShowWaiting();

QTimer* Lag() {
    static QTimer* lag = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, &ShowWaiting);
        return timer;
    }();
    return lag;
}

void ShowWaiting() {
    posted = false;
    Lag()->stop();
    sinceShown.start();
    const std::vector<Waiting> due = std::move(waiting);
    waiting.clear();
    for (const Waiting& w : due)
        if (w.owner) w.show();
}

} // namespace

void ShowSoon(QObject* owner, std::function<void()> show) {
    if (std::none_of(waiting.begin(), waiting.end(),
                     [owner](const Waiting& w) { return w.owner == owner; }))
        waiting.push_back({owner, std::move(show)});
    if (posted) return;
    const qint64 since = sinceShown.isValid() ? sinceShown.elapsed() : kShowLagMs;
    if (since >= gapMs) {
        posted = true;
        Lag()->stop();
        QMetaObject::invokeMethod(QCoreApplication::instance(), &ShowWaiting, Qt::QueuedConnection);
    } else if (!Lag()->isActive()) {
        Lag()->start(static_cast<int>(kShowLagMs - since));
    }
}

void SetShowGap(int ms) {
    gapMs = ms;
}

} // namespace panelsvc
