#include "runtime/widget_support.h"

#include "runtime/files.h"

#include <qcustomplot.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace panelsvc {

QColor ColorFromRgb(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int RgbFromColor(const QColor& color) {
    return (color.red() << 16) | (color.green() << 8) | color.blue();
}

QColor ColorProp(const QObject* o, const char* name, const QColor& fallback) {
    const QColor c(o->property(name).toString());
    return c.isValid() ? c : fallback;
}

namespace {

// Ticks and tick labels of an axis are worked out again on every paint; as long as the range
// (and the number format) stays, they are the ones of the last paint.
class CachingTicker : public QCPAxisTicker {
public:
    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks,
                  QVector<QString>* tickLabels) override {
        if (!valid_ || range != range_ || locale != locale_ || formatChar != formatChar_ ||
            precision != precision_) {
            QCPAxisTicker::generate(range, locale, formatChar, precision, ticks_, &subTicks_,
                                    &labels_);
            range_ = range;
            locale_ = locale;
            formatChar_ = formatChar;
            precision_ = precision;
            valid_ = true;
        }
        ticks = ticks_;
        if (subTicks) *subTicks = subTicks_;
        if (tickLabels) *tickLabels = labels_;
    }

private:
    bool valid_ = false;
    QCPRange range_;
    QLocale locale_;
    QChar formatChar_;
    int precision_ = 0;
    QVector<double> ticks_, subTicks_;
    QVector<QString> labels_;
};

} // namespace

void SetUpCheapPlot(QCustomPlot* plot) {
    plot->setNotAntialiasedElements(QCP::aeAll);
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->setPlottingHint(QCP::phCacheLabels, true);
    // The plot paints every pixel of itself: the panel behind it need not be repainted.
    plot->setAttribute(Qt::WA_OpaquePaintEvent);
    // The operator's zoom (wheel) and pan (drag); the program's next plot sets its ranges again.
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    // One layer group: QCustomPlot's own (unused) replot would otherwise keep a second buffer.
    if (QCPLayer* overlay = plot->layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);
    QFont tickFont = plot->font();
    tickFont.setPointSizeF(std::max(7.0, tickFont.pointSizeF() - 1.0));
    // The hidden top and right axes work out their ticks on every paint too.
    for (QCPAxis* axis : plot->axisRect()->axes())
        axis->setTicker(QSharedPointer<QCPAxisTicker>(new CachingTicker));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(plot->font());
        axis->grid()->setPen(QPen(QColor(0xE0, 0xE0, 0xE0), 0, Qt::SolidLine));
    }
}

QCPTextElement* AddTitleRow(QCustomPlot* plot, const QString& text) {
    plot->plotLayout()->insertRow(0);
    QFont f = plot->font();
    f.setBold(true);
    auto* title = new QCPTextElement(plot, text, f);
    title->setMargins(QMargins(0, 2, 0, 0));
    plot->plotLayout()->addElement(0, 0, title);
    return title;
}

QString AskSavePath(QString* directory, const QString& name, const char* filter, const char* title,
                    int restrictExtension) {
    if (directory->isEmpty()) *directory = QDir::homePath();
    char path[kPathMax] = {};
    const int chosen = FileSelectPopup(QFile::encodeName(*directory).constData(),
                                       name.toUtf8().constData(), filter, title, 1 /* "Save" */, 0,
                                       restrictExtension, 1, 1, path, sizeof path);
    if (chosen != 1 && chosen != 2) return {};
    const QString file = QFile::decodeName(path);
    *directory = QFileInfo(file).absolutePath();
    return file;
}

} // namespace panelsvc
