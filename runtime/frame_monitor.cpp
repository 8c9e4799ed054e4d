#include "runtime/frame_monitor.h"

#include "runtime/testing.h"
#include "runtime/widget_support.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QToolTip>

#include <vector>

namespace panelsvc {

namespace {
constexpr int kPollMs = 250;     // four times a second: a text view repaint each
constexpr int kMaxLines = 10000; // as many as the source holds
} // namespace

FrameMonitor::FrameMonitor(MonitorCountFn count, MonitorLineFn line, int lineMax)
    : count_(count), line_(line), lineMax_(lineMax) {
    setWindowTitle(QStringLiteral("Frame monitor"));
    setAttribute(Qt::WA_QuitOnClose, false);
    view_ = new QPlainTextEdit(this);
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setMaximumBlockCount(kMaxLines);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setObjectName(QStringLiteral("frameLines"));
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setCheckable(true);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    save_ = new QPushButton(QStringLiteral("Save as text..."), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear_);
    buttons->addStretch();
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    resize(980, 420);

    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &FrameMonitor::catchUp);
    connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
        pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
        if (!paused) catchUp();
    });
    connect(clear_, &QPushButton::clicked, this, &FrameMonitor::clear);
    connect(save_, &QPushButton::clicked, this, &FrameMonitor::save);
}

QString FrameMonitor::text() const {
    return view_->toPlainText();
}

void FrameMonitor::catchUp() {
    if (pause_->isChecked()) return;
    const unsigned long long held = count_();
    if (next_ >= held) return;
    QString lines;
    std::vector<char> buffer(static_cast<std::size_t>(lineMax_));
    unsigned long long lost = 0;
    for (; next_ < held; ++next_) {
        const int length = line_(next_, buffer.data(), lineMax_);
        if (length < 0) {
            ++lost;
            continue;
        }
        if (lost) {
            lines += QStringLiteral("... %1 frames no longer held\n").arg(lost);
            lost = 0;
        }
        lines += QString::fromLatin1(buffer.data(), length);
        lines += '\n';
    }
    if (lost) lines += QStringLiteral("... %1 frames no longer held\n").arg(lost);
    lines.chop(1);
    // One append per pass: the view lays out the new block once.
    view_->appendPlainText(lines);
}

void FrameMonitor::clear() {
    next_ = count_();
    view_->clear();
}

void FrameMonitor::save() {
    static QString directory;
    const QString file =
        AskSavePath(&directory, QStringLiteral("frames.txt"), "*.txt", "Save frames as text", 0);
    if (file.isEmpty()) return;
    QString text = view_->toPlainText();
    if (!text.isEmpty()) text += '\n';
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) >= 0 && out.commit()) return;
    const QString error = QStringLiteral("Could not save %1: %2").arg(file, out.errorString());
    save_->setToolTip(error);
    QToolTip::showText(save_->mapToGlobal(save_->rect().center()), error, save_);
}

void FrameMonitor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    catchUp();
    poll_->start();
}

void FrameMonitor::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    poll_->stop();
}

} // namespace panelsvc

namespace {
MonitorCountFn sourceCount = nullptr;
MonitorLineFn sourceLine = nullptr;
int sourceLineMax = 0;
QPointer<panelsvc::FrameMonitor> window;
} // namespace

void SetMonitorSource(MonitorCountFn count, MonitorLineFn line, int lineMax) {
    CloseFrameMonitor();
    sourceCount = count;
    sourceLine = line;
    sourceLineMax = lineMax;
}

void OpenFrameMonitor() {
    if (!sourceCount || !sourceLine) return;
    if (!window) window = new panelsvc::FrameMonitor(sourceCount, sourceLine, sourceLineMax);
    window->show();
    window->raise();
    window->activateWindow();
}

void CloseFrameMonitor() {
    delete window.data();
}

QWidget* FrameMonitorWindow() {
    return window.data();
}
