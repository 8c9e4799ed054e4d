#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QAction;
class QLabel;
class QWidget;

namespace panelsvc {

// The one live recording of the program and the strip charts it is offered on: each chart gets
// the two menu entries and a mark; the file is written from a buffer in whole rows.
class ChartRecorder : public QObject {
    Q_OBJECT
public:
    static ChartRecorder& instance();
    // The recorder when one has been made, else null.
    static ChartRecorder* existing();

    // Offers recording on the chart (as actions of the widget: its context menu lists them).
    void attach(QWidget* chart);
    void setColumns(const QByteArray& columns) { columns_ = columns; }
    bool active() const { return file_.isOpen(); }
    // Starts writing to path (replaced): the header row at once. False when it cannot be opened.
    bool start(const QString& path);
    void append(const int* values, int count);
    // Writes the buffer; on failure stops the recording (see fail()). False on failure.
    bool flush();
    void stop();

private:
    ChartRecorder();
    void startInteractively(QWidget* chart);
    // Ends the recording after a write failure: the file keeps its whole rows only.
    void fail(const QString& error);
    void showMarks();
    void tellCharts(const QString& text, bool popUp);

    QByteArray columns_;
    QFile file_;
    QByteArray buffer_;    // rows not yet written
    qint64 fileBytes_ = 0; // bytes in the file, all of them whole rows
    qint64 rows_ = 0;      // rows appended
    qint64 rowsInFile_ = 0;
    QElapsedTimer clock_; // since the recording began
    qint64 lastFlushMs_ = 0;
    qint64 lastMarkMs_ = -1000;
    QTimer flushTimer_;
    QAction* record_ = nullptr;
    QAction* stop_ = nullptr;
    QList<QPointer<QLabel>> marks_;
    QList<QPointer<QWidget>> charts_;
};

} // namespace panelsvc
