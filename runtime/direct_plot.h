// The base of both chart kinds.
#pragma once

#include <QAction>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <qcustomplot.h>

#include <vector>

namespace panelsvc {

// A QCustomPlot that paints itself straight onto the widget, in a paint queued through the
// widget system: no intermediate paint buffer that would be cleared, filled and blended onto
// the widget on every update. QCustomPlot's own replot() serves only the operator's zoom and pan.
//
// The operator may zoom with the mouse wheel and pan by dragging; a double-click goes back to the
// axis ranges the program set last, and the program's next plot or range setting wins over the
// operator's view as well. The context menu offers "Save picture..." (PNG or PDF, by the name's
// extension) and "Save data as CSV..." (the plotted points, see csvHeader()/csvRows()); both ask
// for the file through FileSelectPopup, so tests answer them through its seam. None of this
// raises a program event.
class DirectPlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit DirectPlot(QWidget* parent = nullptr);

    QAction* savePictureAction() const { return savePicture_; }
    QAction* saveCsvAction() const { return saveCsv_; }
    // Write the picture (PNG, or PDF when the name ends in .pdf) at the chart's size, resp. the
    // plotted points as CSV: a header row naming the columns, then one row per point. Return
    // false and set error when the file cannot be written.
    bool savePicture(const QString& path, QString* error = nullptr);
    bool saveCsv(const QString& path, QString* error = nullptr) const;
    // Back to the axis ranges the program set last.
    virtual void restoreProgramRanges() = 0;

protected:
    virtual QStringList csvHeader() const = 0;
    virtual std::vector<std::vector<double>> csvRows() const = 0;
    // The file name the save dialogs propose, without extension.
    virtual QString exportName() const = 0;

    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // Queue a repaint of the whole plot, or of part of it where only what is drawn inside the
    // axes changed (nothing that moves the axes, tick labels or title; the part is the whole plot
    // when something did since the last whole paint). A hidden plot is not painted; it is painted
    // whole when it is shown.
    void queueRepaint();
    void queuePartRepaint(const QRegion& part);
    // Since the last whole paint, something may have moved the axes, labels or title.
    bool layoutDirty() const { return layoutDirty_; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Asks for a file through FileSelectPopup and saves; a failure shows as a tool tip.
    void saveInteractively(bool picture);

    bool layoutDirty_ = true;
    QAction* savePicture_ = nullptr;
    QAction* saveCsv_ = nullptr;
};

} // namespace panelsvc
