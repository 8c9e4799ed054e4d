#include "runtime/chart_recorder.h"

#include "runtime/files_platform.h"
#include "runtime/recording.h"
#include "runtime/widget_support.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QToolTip>

#include <cstdio>

namespace panelsvc {

namespace {
constexpr int kFlushMs = 500;            // the timer's look at the buffer
constexpr qint64 kMaxUnwrittenMs = 1000; // the oldest unwritten row is never older than this
constexpr int kBufferLimit = 64 * 1024;
constexpr qint64 kMarkMs = 250; // the mark's count is brought up to date this often
} // namespace

namespace {
ChartRecorder* g_recorder = nullptr;
} // namespace

ChartRecorder& ChartRecorder::instance() {
    // Lives until the process ends, as the application object does.
    if (!g_recorder) g_recorder = new ChartRecorder;
    return *g_recorder;
}

ChartRecorder* ChartRecorder::existing() {
    return g_recorder;
}

ChartRecorder::ChartRecorder() {
    record_ = new QAction(QStringLiteral("Record frames to CSV..."), this);
    stop_ = new QAction(QStringLiteral("Stop recording"), this);
    stop_->setEnabled(false);
    connect(record_, &QAction::triggered, this, [this] {
        QWidget* chart = nullptr;
        for (const QPointer<QWidget>& c : charts_)
            if (c && c->isVisible()) chart = c;
        startInteractively(chart);
    });
    connect(stop_, &QAction::triggered, this, &ChartRecorder::stop);
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] {
        if (!buffer_.isEmpty()) flush();
        showMarks();
    });
}

void ChartRecorder::attach(QWidget* chart) {
    marks_.removeAll(nullptr); // charts of panels discarded since
    charts_.removeAll(nullptr);
    chart->addAction(record_);
    chart->addAction(stop_);
    auto* mark = new QLabel(chart);
    mark->setObjectName(QStringLiteral("recordingMark"));
    mark->setAutoFillBackground(true);
    mark->setStyleSheet(QStringLiteral("QLabel { color: #c00000; background: white; "
                                       "font-weight: bold; padding: 1px 4px; }"));
    // Wide enough for seven digits, so that the mark keeps its size as the count grows.
    mark->setText(QStringLiteral("REC 0000000"));
    mark->adjustSize();
    mark->setMinimumWidth(mark->width());
    mark->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    mark->hide();
    marks_.append(mark);
    charts_.append(chart);
}

void ChartRecorder::startInteractively(QWidget* chart) {
    static QString directory;
    const QString file = AskSavePath(&directory, QStringLiteral("live-recording.csv"), "*.csv",
                                     "Record frames to CSV", 1);
    if (file.isEmpty()) return;
    if (!start(file) && chart)
        QToolTip::showText(chart->mapToGlobal(chart->rect().center()), chart->toolTip(), chart);
}

bool ChartRecorder::start(const QString& path) {
    stop();
    // A file that reaches the process's size limit must fail the write, not end the program.
    files_detail::ignoreFileSizeSignal();
    file_.setFileName(path);
    const QByteArray header = "time,seconds," + columns_ + '\n';
    // Unbuffered: every write goes to the system at once, and a failure shows where it happens.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        file_.write(header) != header.size()) {
        const QString error = file_.errorString();
        file_.close();
        tellCharts(QStringLiteral("Could not record to %1: %2").arg(path, error), false);
        return false;
    }
    fileBytes_ = header.size();
    rows_ = rowsInFile_ = 0;
    buffer_.clear();
    clock_.start();
    lastFlushMs_ = 0;
    lastMarkMs_ = -kMarkMs;
    record_->setEnabled(false);
    stop_->setEnabled(true);
    flushTimer_.start();
    tellCharts(QStringLiteral("Recording frames to %1").arg(path), false);
    showMarks();
    return true;
}

void ChartRecorder::append(const int* values, int count) {
    if (!active()) return;
    const qint64 ms = clock_.elapsed();
    char text[32];
    buffer_ += QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1();
    std::snprintf(text, sizeof text, ",%.3f", static_cast<double>(clock_.nsecsElapsed()) / 1e9);
    buffer_ += text;
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, ",%d", values[i]);
        buffer_ += text;
    }
    buffer_ += '\n';
    ++rows_;
    if (buffer_.size() >= kBufferLimit || ms - lastFlushMs_ >= kMaxUnwrittenMs) flush();
    if (active() && ms - lastMarkMs_ >= kMarkMs) showMarks();
}

bool ChartRecorder::flush() {
    lastFlushMs_ = clock_.isValid() ? clock_.elapsed() : 0;
    if (!active() || buffer_.isEmpty()) return active();
    qint64 done = 0;
    while (done < buffer_.size()) {
        const qint64 n = file_.write(buffer_.constData() + done, buffer_.size() - done);
        if (n <= 0) break;
        done += n;
    }
    if (done == buffer_.size()) {
        fileBytes_ += done;
        rowsInFile_ = rows_;
        buffer_.clear();
        return true;
    }
    // Keep the rows that reached the file whole; a row cut by the failure goes.
    const qint64 wholeEnd = done > 0 ? buffer_.lastIndexOf('\n', done - 1) + 1 : 0;
    fileBytes_ += wholeEnd;
    rowsInFile_ += buffer_.left(wholeEnd).count('\n');
    const QString error = file_.errorString();
    file_.resize(fileBytes_);
    fail(error);
    return false;
}

void ChartRecorder::fail(const QString& error) {
    const QString path = file_.fileName();
    file_.close();
    buffer_.clear();
    flushTimer_.stop();
    record_->setEnabled(true);
    stop_->setEnabled(false);
    showMarks();
    tellCharts(QStringLiteral("Recording stopped: could not write %1 (%2); %3 rows kept")
                   .arg(path, error)
                   .arg(rowsInFile_),
               true);
}

void ChartRecorder::stop() {
    if (!active()) return;
    if (!flush()) return; // fail() has ended it
    const QString path = file_.fileName();
    file_.close();
    flushTimer_.stop();
    record_->setEnabled(true);
    stop_->setEnabled(false);
    showMarks();
    tellCharts(QStringLiteral("Recorded %1 rows to %2").arg(rowsInFile_).arg(path), false);
}

void ChartRecorder::showMarks() {
    lastMarkMs_ = clock_.isValid() ? clock_.elapsed() : 0;
    const QString text = QStringLiteral("REC %1").arg(rows_);
    for (const QPointer<QLabel>& mark : marks_) {
        if (!mark) continue;
        if (!active()) {
            mark->hide();
            continue;
        }
        if (mark->text() == text && mark->isVisibleTo(mark->parentWidget())) continue;
        // An opaque label: a new count repaints the mark alone, not the chart beneath it (a move
        // or a raise would repaint the chart where the mark was).
        const QSize size = mark->size();
        mark->setText(text);
        mark->adjustSize();
        if (mark->size() != size || mark->isHidden()) {
            const QWidget* chart = mark->parentWidget();
            mark->move(chart->width() - mark->width() - 8, 6);
            mark->raise();
            mark->show();
        }
    }
}

void ChartRecorder::tellCharts(const QString& text, bool popUp) {
    for (const QPointer<QWidget>& chart : charts_) {
        if (!chart) continue;
        chart->setToolTip(text);
        if (popUp && chart->isVisible())
            QToolTip::showText(chart->mapToGlobal(chart->rect().center()), text, chart);
    }
}

} // namespace panelsvc

using panelsvc::ChartRecorder;

void SetRecordColumns(const char* columns) {
    ChartRecorder::instance().setColumns(QByteArray(columns));
}

// A program without panels (the command-line companion) has no recorder, and a recorder needs a
// GUI: these calls look for one and do not make one.
int RecordingActive() {
    return ChartRecorder::existing() && ChartRecorder::existing()->active() ? 1 : 0;
}

void RecordRow(const int* values, int count) {
    if (ChartRecorder* recorder = ChartRecorder::existing()) recorder->append(values, count);
}

void FlushRecording() {
    if (ChartRecorder* recorder = ChartRecorder::existing()) recorder->flush();
}

void StopRecording() {
    if (ChartRecorder* recorder = ChartRecorder::existing()) recorder->stop();
}
