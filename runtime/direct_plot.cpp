#include "runtime/direct_plot.h"

#include "runtime/widget_support.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QRegularExpression>
#include <QSaveFile>
#include <QToolTip>

namespace panelsvc {

DirectPlot::DirectPlot(QWidget* parent) : QCustomPlot(parent) {
    savePicture_ = new QAction(QStringLiteral("Save picture..."), this);
    saveCsv_ = new QAction(QStringLiteral("Save data as CSV..."), this);
    connect(savePicture_, &QAction::triggered, this, [this] { saveInteractively(true); });
    connect(saveCsv_, &QAction::triggered, this, [this] { saveInteractively(false); });
}

bool DirectPlot::savePicture(const QString& path, QString* error) {
    const bool pdf = path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    // At the chart's size on screen; the picture is drawn apart from the widget's own paint.
    const bool saved = pdf ? savePdf(path) : savePng(path);
    if (!saved && error) *error = QStringLiteral("Could not save the picture %1").arg(path);
    return saved;
}

bool DirectPlot::saveCsv(const QString& path, QString* error) const {
    QString text = csvHeader().join(',') + '\n';
    for (const std::vector<double>& row : csvRows()) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) text += ',';
            // The shortest text that reads back as the same number.
            text += QString::number(row[i], 'g', QLocale::FloatingPointShortest);
        }
        text += '\n';
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit())
        return true;
    if (error) *error = QStringLiteral("Could not save %1: %2").arg(path, file.errorString());
    return false;
}

void DirectPlot::saveInteractively(bool picture) {
    static QString directory;
    QString name = exportName().toLower();
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    name += picture ? QLatin1String(".png") : QLatin1String(".csv");
    const QString file = AskSavePath(&directory, name, picture ? "*.png;*.pdf" : "*.csv",
                                     picture ? "Save picture" : "Save data as CSV", 1);
    if (file.isEmpty()) return;
    QString error;
    if (picture ? savePicture(file, &error) : saveCsv(file, &error)) return;
    QToolTip::showText(mapToGlobal(rect().center()), error, this);
}

void DirectPlot::contextMenuEvent(QContextMenuEvent* event) {
    // popup(), not exec(): the event loop (and with it the program's live loop) goes on.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(savePicture_);
    menu->addAction(saveCsv_);
    // What the program offers on this chart beyond saving (the live recording).
    if (!actions().isEmpty()) {
        menu->addSeparator();
        menu->addActions(actions());
    }
    menu->popup(event->globalPos());
    event->accept();
}

void DirectPlot::mouseDoubleClickEvent(QMouseEvent* event) {
    QCustomPlot::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) restoreProgramRanges();
}

void DirectPlot::queueRepaint() {
    layoutDirty_ = true;
    if (isVisible()) update();
}

void DirectPlot::queuePartRepaint(const QRegion& part) {
    if (!isVisible()) return;
    if (layoutDirty_)
        update();
    else if (!part.isEmpty())
        update(part);
}

void DirectPlot::paintEvent(QPaintEvent* event) {
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    // Only the region of the event reaches the screen: the painter is clipped to it.
    painter.fillRect(event->rect(), mBackgroundBrush.style() == Qt::NoBrush ? QBrush(Qt::white)
                                                                            : mBackgroundBrush);
    draw(&painter); // lays the plot out, then draws every layer
    // Painted whole as far as it can be seen: a chart partly scrolled out of its panel's view
    // never gets a paint event for all of itself, and must not stay marked for whole repaints.
    if ((visibleRegion() - event->region()).isEmpty()) layoutDirty_ = false;
}

void DirectPlot::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setViewport(rect());
    queueRepaint();
}

void DirectPlot::showEvent(QShowEvent* event) {
    QCustomPlot::showEvent(event);
    queueRepaint();
}
} // namespace panelsvc
