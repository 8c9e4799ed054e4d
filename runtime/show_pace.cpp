#include "runtime/show_pace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
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

// Receives the event that runs the waiting shows at the next event processing.
class Poster : public QObject {
public:
    static const QEvent::Type kShow;
    bool event(QEvent* event) override {
        if (event->type() != kShow) return QObject::event(event);
        ShowWaiting();
        return true;
    }
};
const QEvent::Type Poster::kShow = static_cast<QEvent::Type>(QEvent::registerEventType());

Poster* ThePoster() {
    static Poster* poster = [] {
        auto* p = new Poster;
        p->setParent(QCoreApplication::instance());
        return p;
    }();
    return poster;
}

QTimer* Lag() {
    static QTimer* lag = [] {
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer); // the gap is short: a coarse timer may add 5 %
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
    const qint64 since = sinceShown.isValid() ? sinceShown.elapsed() : gapMs;
    if (since >= gapMs) {
        posted = true;
        Lag()->stop();
        QCoreApplication::postEvent(ThePoster(), new QEvent(Poster::kShow));
    } else if (!Lag()->isActive()) {
        Lag()->start(static_cast<int>(gapMs - since));
    }
}

void ShowPosted() {
    if (!posted) return;
    QCoreApplication::removePostedEvents(ThePoster(), Poster::kShow);
    ShowWaiting();
    // The picture in the same go: the window's own update request would wait for another pass.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void SetShowGap(int ms) {
    gapMs = ms;
}

} // namespace panelsvc
