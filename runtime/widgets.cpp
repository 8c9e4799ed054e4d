#include "runtime/widgets.h"

#include "runtime/files.h"
#include "runtime/serial.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSaveFile>
#include <QToolTip>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

namespace panelsvc {

QColor ColorFromRgb(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int RgbFromColor(const QColor& color) {
    return (color.red() << 16) | (color.green() << 8) | color.blue();
}

namespace {

// Reads a dynamic property of the panel description, or a fallback.
template <typename T> T Prop(const QObject* o, const char* name, T fallback) {
    const QVariant v = o->property(name);
    if (!v.isValid() || !v.canConvert<T>()) return fallback;
    return v.value<T>();
}

QColor ColorProp(const QObject* o, const char* name, const QColor& fallback) {
    const QColor c(o->property(name).toString());
    return c.isValid() ? c : fallback;
}

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

// Settings shared by both chart kinds: the live loop redraws a chart many times a second, so
// nothing is antialiased and ticks and tick labels are cached.
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

} // namespace

// ---------------------------------------------------------------------------------------------
// Plot painted straight onto the widget

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
    // The dialogs start where the operator saved last (the program's own directory may not be
    // writable once installed).
    static QString directory = QDir::homePath();
    QString name = exportName().toLower();
    name.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    name += picture ? QLatin1String(".png") : QLatin1String(".csv");
    char path[kPathMax] = {};
    const int chosen = FileSelectPopup(QFile::encodeName(directory).constData(),
                                       name.toUtf8().constData(), picture ? "*.png;*.pdf" : "*.csv",
                                       picture ? "Save picture" : "Save data as CSV",
                                       1 /* "Save" */, 0, 1, 1, 1, path, sizeof path);
    if (chosen != 1 && chosen != 2) return;
    const QString file = QFile::decodeName(path);
    directory = QFileInfo(file).absolutePath();
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
    if (event->rect().contains(rect())) layoutDirty_ = false;
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

// ---------------------------------------------------------------------------------------------
// Strip chart

namespace {
constexpr int kMinKeptPoints = 1024; // history kept beyond one screen, so a wider screen fills
constexpr int kMaxPointsPerScreen = 100000;
// Pixels around the trace's extent that its line (and rounding) may touch.
constexpr int kTraceMargin = 2;
} // namespace

StripChart::StripChart(QWidget* parent) : DirectPlot(parent) {
    SetUpCheapPlot(this);
    trace_ = addGraph();
    trace_->setPen(QPen(Qt::blue, 1));
    trace_->setAdaptiveSampling(false);
    xAxis->setRange(0, pointsPerScreen_ - 1);
    yAxis->setRange(yMin_, yMax_);
}

void StripChart::configure() {
    pointsPerScreen_ = std::clamp(Prop<int>(this, "pointsPerScreen", 100), 1, kMaxPointsPerScreen);
    yMin_ = Prop<double>(this, "yMin", 0.0);
    yMax_ = Prop<double>(this, "yMax", 1000.0);
    if (yMax_ <= yMin_) yMax_ = yMin_ + 1.0;
    scrollMode_ = Prop<int>(this, "scrollMode", 1) == 0 ? 0 : 1;
    yAutoscale_ = Prop<int>(this, "yAutoscale", 0) ? 1 : 0;
    trace_->setPen(QPen(ColorProp(this, "traceColor", Qt::blue), 1));
    const QString title = property("title").toString();
    if (!title.isEmpty()) setTitle(title);
    xAxis->setLabel(property("xLabel").toString());
    yAxis->setLabel(property("yLabel").toString());
    redraw();
    queueRepaint();
}

void StripChart::appendPoints(const std::vector<double>& points) {
    const std::size_t keep = std::max(pointsPerScreen_, kMinKeptPoints);
    for (double p : points) {
        points_.push_back(p);
        ++total_;
    }
    while (points_.size() > keep)
        points_.pop_front();
    // The trace takes the points at the next event processing: the live loop appends between
    // taking a frame and asking for the next one, and should not be held up there.
    if (!redrawQueued_) {
        redrawQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                redrawQueued_ = false;
                redraw();
            },
            Qt::QueuedConnection);
    }
}

void StripChart::setScrollMode(int mode) {
    if (scrollMode_ == (mode == 0 ? 0 : 1)) return; // the live loop sets it before every update
    scrollMode_ = mode == 0 ? 0 : 1;
    redraw();
}

void StripChart::setYAutoscale(int on) {
    if (yAutoscale_ == (on ? 1 : 0)) return;
    yAutoscale_ = on ? 1 : 0;
    redraw();
}

void StripChart::setPointsPerScreen(int points) {
    points = std::clamp(points, 1, kMaxPointsPerScreen);
    if (pointsPerScreen_ == points) return;
    pointsPerScreen_ = points;
    redraw();
}

void StripChart::setTraceColor(const QColor& color) {
    QPen pen = trace_->pen();
    if (pen.color() == color) return;
    pen.setColor(color);
    trace_->setPen(pen);
    queueRepaint();
}

QColor StripChart::traceColor() const {
    return trace_->pen().color();
}

void StripChart::setTitle(const QString& title) {
    if (!title_) title_ = AddTitleRow(this, title);
    title_->setText(title);
    queueRepaint();
}

QString StripChart::title() const {
    return title_ ? title_->text() : QString();
}

void StripChart::firstAndLastShown(std::uint64_t* first, std::uint64_t* end,
                                   std::uint64_t* screenStart) const {
    const std::uint64_t pps = static_cast<std::uint64_t>(pointsPerScreen_);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::uint64_t start;
    if (scrollMode_ == 1)
        start = total_ > pps ? total_ - pps : 0;
    else
        start = total_ == 0 ? 0 : (total_ - 1) / pps * pps;
    *first = std::max(start, oldestKept);
    *end = total_;
    if (screenStart) *screenStart = start;
}

std::vector<double> StripChart::shownPoints() const {
    std::uint64_t first, end;
    firstAndLastShown(&first, &end);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(end - first));
    for (std::uint64_t s = first; s < end; ++s)
        out.push_back(points_[s - oldestKept]);
    return out;
}

QStringList StripChart::csvHeader() const {
    return {QStringLiteral("sample"), QStringLiteral("value")};
}

std::vector<std::vector<double>> StripChart::csvRows() const {
    std::uint64_t first, end, screenStart;
    firstAndLastShown(&first, &end, &screenStart);
    const std::uint64_t oldestKept = total_ - points_.size();
    std::vector<std::vector<double>> rows;
    rows.reserve(static_cast<std::size_t>(end - first));
    for (std::uint64_t s = first; s < end; ++s)
        rows.push_back({static_cast<double>(s - screenStart), points_[s - oldestKept]});
    return rows;
}

QString StripChart::exportName() const {
    return title().isEmpty() ? QStringLiteral("strip chart") : title();
}

void StripChart::redraw() {
    std::uint64_t first, end, screenStart;
    firstAndLastShown(&first, &end, &screenStart);
    const std::uint64_t oldestKept = total_ - points_.size();
    QVector<double> keys, values;
    keys.reserve(static_cast<qsizetype>(end - first));
    values.reserve(keys.capacity());
    double lo = yMin_, hi = yMax_;
    double dataLo = std::numeric_limits<double>::infinity(), dataHi = -dataLo;
    // x is the position on the screen, not the running sample number: the axis and its tick
    // labels stay the same from frame to frame, so the cached labels are reused.
    for (std::uint64_t s = first; s < end; ++s) {
        const double v = points_[s - oldestKept];
        keys.push_back(static_cast<double>(s - screenStart));
        values.push_back(v);
        if (std::isfinite(v)) {
            dataLo = std::min(dataLo, v);
            dataHi = std::max(dataHi, v);
        }
    }
    lo = std::min(lo, dataLo);
    hi = std::max(hi, dataHi);
    trace_->setData(keys, values, true);
    const QCPRange xBefore = xAxis->range(), yBefore = yAxis->range();
    xAxis->setRange(0.0, static_cast<double>(std::max(pointsPerScreen_ - 1, 1)));
    if (yAutoscale_ && (lo < yMin_ || hi > yMax_)) {
        const double margin = (hi - lo) * 0.05;
        yAxis->setRange(lo < yMin_ ? lo - margin : lo, hi > yMax_ ? hi + margin : hi);
    } else {
        yAxis->setRange(yMin_, yMax_);
    }
    // New tick labels can move the plot area: then the whole chart is painted.
    if (xAxis->range() != xBefore || yAxis->range() != yBefore || layoutDirty()) {
        traceKnown_ = false;
        queueRepaint();
        return;
    }
    // Only where the old or the new trace runs do pixels change: the box around both.
    const QRect reach =
        axisRect()->rect().adjusted(-kTraceMargin, -kTraceMargin, kTraceMargin, kTraceMargin);
    QRect box;
    if (!keys.isEmpty() && dataLo <= dataHi) {
        const QPointF a(xAxis->coordToPixel(keys.front()), yAxis->coordToPixel(dataHi));
        const QPointF b(xAxis->coordToPixel(keys.back()), yAxis->coordToPixel(dataLo));
        box = QRectF(a, b).normalized().toAlignedRect().adjusted(-kTraceMargin, -kTraceMargin,
                                                                 kTraceMargin, kTraceMargin) &
              reach;
    }
    queuePartRepaint(traceKnown_ ? box | traceBox_ : reach);
    traceBox_ = box;
    traceKnown_ = true;
}

namespace {

// Within its scope, a plot draws as if some of its parts were not there, without moving
// anything: the plot area keeps its margins while axes are hidden.
class Without {
public:
    explicit Without(QCustomPlot* plot) : rect_(plot->axisRect()) {
        sides_ = rect_->autoMargins();
        const QMargins margins = rect_->margins();
        rect_->setAutoMargins(QCP::msNone);
        rect_->setMargins(margins);
    }
    ~Without() {
        for (auto it = hidden_.rbegin(); it != hidden_.rend(); ++it)
            it->first->setVisible(it->second);
        rect_->setAutoMargins(sides_);
    }
    Without(const Without&) = delete;
    Without& operator=(const Without&) = delete;
    void hide(QCPLayerable* part) {
        hidden_.emplace_back(part, part->visible());
        part->setVisible(false);
    }

private:
    QCPAxisRect* rect_;
    QCP::MarginSides sides_;
    std::vector<std::pair<QCPLayerable*, bool>> hidden_;
};

} // namespace

void StripChart::paintEvent(QPaintEvent* event) {
    const QRect part = event->rect();
    const QRect reach =
        axisRect()->rect().adjusted(-kTraceMargin, -kTraceMargin, kTraceMargin, kTraceMargin);
    if (layoutDirty() || event->region().rectCount() != 1 || !reach.contains(part)) {
        picturesValid_ = false; // the layout may change with this paint
        DirectPlot::paintEvent(event);
        return;
    }
    if (!picturesValid_) takePictures();
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    const qreal ratio = withoutTrace_.devicePixelRatio();
    const auto copy = [&](const QRect& r, const QPixmap& picture) {
        painter.drawPixmap(QRectF(r), picture,
                           QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    };
    copy(part, withoutTrace_);
    {
        // The trace alone: the axes (and with them their grids) are left out.
        Without without(this);
        for (QCPAxis* axis : axisRect()->axes())
            without.hide(axis);
        draw(&painter);
    }
    for (const QRect& band : axisBands_)
        if (const QRect both = band & part; !both.isEmpty()) copy(both, axesOnly_);
}

void StripChart::takePictures() {
    const qreal ratio = devicePixelRatioF();
    withoutTrace_ = QPixmap(size() * ratio);
    withoutTrace_.setDevicePixelRatio(ratio);
    withoutTrace_.fill(mBackgroundBrush.style() == Qt::SolidPattern ? mBackgroundBrush.color()
                                                                    : QColor(Qt::white));
    axesOnly_ = QPixmap(size() * ratio);
    axesOnly_.setDevicePixelRatio(ratio);
    axesOnly_.fill(Qt::transparent);
    {
        Without without(this);
        without.hide(trace_);
        QCPPainter painter(&withoutTrace_);
        draw(&painter);
    }
    {
        Without without(this);
        without.hide(trace_);
        for (QCPAxis* axis : axisRect()->axes())
            without.hide(axis->grid());
        QCPPainter painter(&axesOnly_);
        draw(&painter);
    }
    // Axis lines and the ticks they carry into the plot area.
    axisBands_.clear();
    const QRect plot = axisRect()->rect();
    const int out = kTraceMargin + 1;
    for (QCPAxis* axis : axisRect()->axes()) {
        if (!axis->visible()) continue;
        const int in = std::max(axis->tickLengthIn(), axis->subTickLengthIn()) +
                       static_cast<int>(std::ceil(axis->basePen().widthF())) + kTraceMargin;
        switch (axis->axisType()) {
        case QCPAxis::atLeft:
            axisBands_.append(
                QRect(plot.left() - out, plot.top() - out, in + out, plot.height() + 2 * out));
            break;
        case QCPAxis::atRight:
            axisBands_.append(
                QRect(plot.right() - in + 1, plot.top() - out, in + out, plot.height() + 2 * out));
            break;
        case QCPAxis::atTop:
            axisBands_.append(
                QRect(plot.left() - out, plot.top() - out, plot.width() + 2 * out, in + out));
            break;
        case QCPAxis::atBottom:
            axisBands_.append(
                QRect(plot.left() - out, plot.bottom() - in + 1, plot.width() + 2 * out, in + out));
            break;
        }
    }
    picturesValid_ = true;
}

// ---------------------------------------------------------------------------------------------
// XY graph

XYGraph::XYGraph(QWidget* parent) : DirectPlot(parent) {
    SetUpCheapPlot(this);
    label_ = AddTitleRow(this, QString());
    addLayer("cursors", layer("main"), QCustomPlot::limAbove);
    const QColor cursorColors[kCursors] = {QColor(0x00, 0x00, 0xC0), QColor(0xC0, 0x00, 0xC0)};
    for (int i = 0; i < kCursors; ++i) {
        Cursor& c = cursors_[static_cast<std::size_t>(i)];
        c.tracer = new QCPItemTracer(this);
        c.tracer->setLayer("cursors");
        c.tracer->setPen(QPen(cursorColors[i], 1));
        c.tracer->position->setCoords(c.x, c.y);
        applyCursorStyle(c);
    }
    readout_ = new QCPItemText(this);
    readout_->setLayer("cursors");
    readout_->position->setType(QCPItemPosition::ptAxisRectRatio);
    readout_->position->setCoords(0.99, 0.02);
    readout_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
    readout_->setBrush(QBrush(QColor(255, 255, 255, 220)));
    readout_->setPadding(QMargins(4, 2, 4, 2));
    readout_->setVisible(false);
    xAxis->setRange(1, 128);
    yAxis->setRange(0, 1000);
}

void XYGraph::configure() {
    manualRange_[0] = QCPRange(Prop<double>(this, "xMin", 1.0), Prop<double>(this, "xMax", 128.0));
    manualRange_[1] = QCPRange(Prop<double>(this, "yMin", 0.0), Prop<double>(this, "yMax", 1000.0));
    applyProgramRanges();
    xAxis->setLabel(property("xLabel").toString());
    yAxis->setLabel(property("yLabel").toString());
    label_->setText(property("label").toString());
    const int style = Prop<int>(this, "cursorStyle", 0);
    const QColor colors[kCursors] = {
        ColorProp(this, "cursor1Color", cursors_[0].tracer->pen().color()),
        ColorProp(this, "cursor2Color", cursors_[1].tracer->pen().color())};
    for (int i = 0; i < kCursors; ++i) {
        cursors_[static_cast<std::size_t>(i)].tracer->setPen(QPen(colors[i], 1));
        setCursorStyle(i + 1, style);
    }
    setReadoutMode(Prop<int>(this, "readoutMode", 0));
    redraw();
}

int XYGraph::addPlot(XYPlotData data) {
    auto* curve = new QCPCurve(xAxis, yAxis);
    const QColor color = ColorFromRgb(data.color);
    Qt::PenStyle penStyle = Qt::SolidLine;
    switch (data.lineStyle) {
    case 1:
        penStyle = Qt::DashLine;
        break;
    case 2:
        penStyle = Qt::DotLine;
        break;
    case 3:
        penStyle = Qt::DashDotLine;
        break;
    default:
        break;
    }
    curve->setPen(QPen(color, 1, penStyle));
    if (data.plotStyle == 5) {
        curve->setLineStyle(QCPCurve::lsNone);
    } else {
        curve->setLineStyle(QCPCurve::lsLine);
    }
    if (data.plotStyle == 0) {
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    } else {
        curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, color, color, 4));
        curve->setScatterSkip(std::max(data.pointFrequency, 1) - 1);
    }
    curve->setData(QVector<double>(data.x.begin(), data.x.end()),
                   QVector<double>(data.y.begin(), data.y.end()));
    const int handle = nextHandle_++;
    plots_[handle] = Plot{curve, std::move(data)};
    applyProgramRanges();
    redraw();
    return handle;
}

bool XYGraph::deletePlot(int handle) {
    if (handle == -1) {
        for (auto& [h, p] : plots_)
            removePlottable(p.curve);
        plots_.clear();
    } else {
        auto it = plots_.find(handle);
        if (it == plots_.end()) return false;
        removePlottable(it->second.curve);
        plots_.erase(it);
    }
    applyProgramRanges();
    redraw();
    return true;
}

std::vector<XYPlotData> XYGraph::plots() const {
    std::vector<XYPlotData> out;
    for (const auto& [h, p] : plots_)
        out.push_back(p.data);
    return out;
}

bool XYGraph::setAxisScaling(int axis, int mode, double min, double max) {
    if (axis != 0 && axis != 1) return false;
    if (mode != 0 && mode != 1) return false;
    if (mode == 0 && !(max > min)) return false;
    autoscale_[static_cast<std::size_t>(axis)] = mode == 1;
    if (mode == 0) manualRange_[static_cast<std::size_t>(axis)] = QCPRange(min, max);
    applyProgramRanges();
    redraw();
    return true;
}

void XYGraph::axisRange(int axis, double* min, double* max) const {
    const QCPRange r = (axis == 0 ? xAxis : yAxis)->range();
    if (min) *min = r.lower;
    if (max) *max = r.upper;
}

bool XYGraph::setCursor(int cursor, double x, double y) {
    if (cursor < 1 || cursor > kCursors) return false;
    Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    c.x = x;
    c.y = y;
    c.tracer->position->setCoords(x, y);
    updateReadout();
    redraw();
    return true;
}

bool XYGraph::cursor(int cursor, double* x, double* y) const {
    if (cursor < 1 || cursor > kCursors) return false;
    const Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    if (x) *x = c.x;
    if (y) *y = c.y;
    return true;
}

bool XYGraph::setCursorStyle(int cursor, int style) {
    if (cursor < 1 || cursor > kCursors || style < 0 || style > 4) return false;
    Cursor& c = cursors_[static_cast<std::size_t>(cursor - 1)];
    c.style = style;
    applyCursorStyle(c);
    redraw();
    return true;
}

int XYGraph::cursorStyle(int cursor) const {
    if (cursor < 1 || cursor > kCursors) return -1;
    return cursors_[static_cast<std::size_t>(cursor - 1)].style;
}

void XYGraph::applyCursorStyle(Cursor& c) {
    // Full crosshairs are thin lines; the small marks are drawn thicker to stand out of the data.
    QPen pen = c.tracer->pen();
    pen.setWidth(c.style == 0 ? 1 : 2);
    c.tracer->setPen(pen);
    switch (c.style) {
    case 0:
        c.tracer->setStyle(QCPItemTracer::tsCrosshair);
        break;
    case 1:
        c.tracer->setStyle(QCPItemTracer::tsSquare);
        c.tracer->setSize(9);
        break;
    case 2:
        c.tracer->setStyle(QCPItemTracer::tsCircle);
        c.tracer->setSize(9);
        break;
    case 3:
        c.tracer->setStyle(QCPItemTracer::tsPlus);
        c.tracer->setSize(9);
        break;
    default:
        c.tracer->setStyle(QCPItemTracer::tsPlus);
        c.tracer->setSize(25);
        break;
    }
}

bool XYGraph::setReadoutMode(int mode) {
    if (mode < 0 || mode > 2) return false;
    readoutMode_ = mode;
    updateReadout();
    redraw();
    return true;
}

void XYGraph::updateReadout() {
    if (readoutMode_ == 0) {
        readout_->setVisible(false);
        return;
    }
    QString text;
    for (int i = 0; i < readoutMode_; ++i) {
        const Cursor& c = cursors_[static_cast<std::size_t>(i)];
        if (i) text += QStringLiteral("    ");
        text += QStringLiteral("C%1  x %2  y %3")
                    .arg(i + 1)
                    .arg(QString::number(c.x, 'g', 6), QString::number(c.y, 'g', 6));
    }
    readout_->setText(text);
    readout_->setVisible(true);
}

void XYGraph::setLabel(const QString& label) {
    label_->setText(label);
    redraw();
}

QString XYGraph::label() const {
    return label_->text();
}

void XYGraph::applyProgramRanges() {
    for (std::size_t axis = 0; axis < 2; ++axis) {
        QCPAxis* a = axis == 0 ? xAxis : yAxis;
        if (!autoscale_[axis]) {
            a->setRange(manualRange_[axis]);
        } else if (!plots_.empty()) {
            a->rescale();
            manualRange_[axis] = a->range(); // kept while there is nothing to scale to
        } else {
            a->setRange(manualRange_[axis]);
        }
    }
}

void XYGraph::restoreProgramRanges() {
    applyProgramRanges();
    redraw();
}

QStringList XYGraph::csvHeader() const {
    return {QStringLiteral("plot"), QStringLiteral("x"), QStringLiteral("y")};
}

std::vector<std::vector<double>> XYGraph::csvRows() const {
    std::vector<std::vector<double>> rows;
    int number = 0;
    for (const auto& [handle, plot] : plots_) {
        ++number;
        const std::size_t n = std::min(plot.data.x.size(), plot.data.y.size());
        for (std::size_t i = 0; i < n; ++i)
            rows.push_back({static_cast<double>(number), plot.data.x[i], plot.data.y[i]});
    }
    return rows;
}

QString XYGraph::exportName() const {
    return label().isEmpty() ? QStringLiteral("graph") : label();
}

void XYGraph::redraw() {
    queueRepaint();
}

// ---------------------------------------------------------------------------------------------
// Timer control

TimerControl::TimerControl(QWidget* parent) : QWidget(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::tick);
}

void TimerControl::configure() {
    const double seconds = Prop<double>(this, "interval", 0.1);
    timer_.setInterval(std::max(1, static_cast<int>(std::lround(seconds * 1000.0))));
    setVisible(false); // a timer has no face at run time
    setTicking(Prop<bool>(this, "timerEnabled", true));
}

void TimerControl::setTicking(bool on) {
    if (on && !timer_.isActive()) timer_.start();
    if (!on) timer_.stop();
}

// ---------------------------------------------------------------------------------------------
// Lamp

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
    blink_.setInterval(250);
    connect(&blink_, &QTimer::timeout, this, [this] {
        phase_ = !phase_;
        update();
    });
}

void Lamp::configure() {
    onColor_ = ColorProp(this, "onColor", onColor_);
    const int s = Prop<int>(this, "lampState", 0);
    setState(s == 1 ? kLit : s == 2 ? kBlinking : kDark);
}

void Lamp::setState(State state) {
    state_ = state;
    phase_ = true;
    if (state == kBlinking)
        blink_.start();
    else
        blink_.stop();
    update();
}

bool Lamp::litNow() const {
    return state_ == kLit || (state_ == kBlinking && phase_);
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const QColor fill = !isEnabled() ? QColor(0xB0, 0xB0, 0xB0)
                        : litNow()   ? onColor_
                                     : onColor_.darker(350);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(fill);
    p.drawEllipse(r);
}

// ---------------------------------------------------------------------------------------------
// COM-port ring

ComPortRing::ComPortRing(QWidget* parent) : QComboBox(parent) {
    for (int port = 1; port <= kPorts; ++port)
        addItem(QStringLiteral("COM%1").arg(port), port);
}

void ComPortRing::refreshLabels() {
    const QSignalBlocker block(this);
    for (int i = 0; i < count(); ++i) {
        const int port = itemData(i).toInt();
        const std::string device = ComPortDevice(port);
        QString text = QStringLiteral("COM%1").arg(port);
        if (!device.empty()) text += QStringLiteral("  ") + QString::fromStdString(device);
        if (const std::string about = ComPortDescription(port); !about.empty())
            text += QStringLiteral("  ") + QString::fromStdString(about);
        if (itemText(i) != text) setItemText(i, text);
    }
    view()->setMinimumWidth(std::max(width(), view()->sizeHintForColumn(0) + 24));
}

void ComPortRing::showPopup() {
    refreshLabels();
    QComboBox::showPopup();
}

// ---------------------------------------------------------------------------------------------
// Opaque backdrop

void OpaqueBackdrop::attach(QWidget* control) {
    auto* backdrop = new OpaqueBackdrop(control);
    control->installEventFilter(backdrop);
    if (QWidget* parent = control->parentWidget()) parent->installEventFilter(backdrop);
    backdrop->refresh();
}

OpaqueBackdrop::OpaqueBackdrop(QWidget* control) : QObject(control), control_(control) {}

bool OpaqueBackdrop::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == control_) {
        if (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize) refresh();
    } else if (watched == control_->parentWidget()) {
        if (type == QEvent::Resize || type == QEvent::PaletteChange ||
            type == QEvent::StyleChange || type == QEvent::FontChange ||
            type == QEvent::EnabledChange || type == QEvent::Show)
            refresh();
    }
    return false;
}

void OpaqueBackdrop::refresh() {
    QWidget* parent = control_->parentWidget();
    if (refreshing_ || !parent || !control_->isVisible() || control_->size().isEmpty()) return;
    refreshing_ = true;
    const qreal ratio = control_->devicePixelRatioF();
    QPixmap behind(control_->size() * ratio);
    behind.setDevicePixelRatio(ratio);
    behind.fill(parent->palette().color(QPalette::Window));
    // What the window and each widget between it and the control paint under the control,
    // outermost first, each without its children.
    std::vector<QWidget*> chain;
    for (QWidget* a = parent; a; a = a->isWindow() ? nullptr : a->parentWidget())
        chain.push_back(a);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const QRect area(control_->mapTo(*it, QPoint(0, 0)), control_->size());
        const QWidget::RenderFlags flags = (*it)->isWindow() || (*it)->autoFillBackground()
                                               ? QWidget::DrawWindowBackground
                                               : QWidget::RenderFlags();
        (*it)->render(&behind, QPoint(), QRegion(area), flags);
    }
    // The control's own colour stays what it was: styles shade frames from it.
    const QColor color = control_->palette().color(control_->backgroundRole());
    const QImage image = behind.toImage();
    bool uniform = true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height() && uniform; ++y)
        for (int x = 0; x < image.width() && uniform; ++x)
            uniform = image.pixel(x, y) == first;
    QPalette palette = control_->palette();
    palette.setBrush(control_->backgroundRole(),
                     uniform && QColor(first) == color ? QBrush(color) : QBrush(color, behind));
    control_->setPalette(palette);
    control_->setAutoFillBackground(true);
    refreshing_ = false;
}

// ---------------------------------------------------------------------------------------------
// Picture

Picture::Picture(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

void Picture::setImage(const QImage& image) {
    image_ = image;
    rescale();
}

void Picture::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    rescale();
}

void Picture::rescale() {
    if (image_.isNull()) return;
    setPixmap(
        QPixmap::fromImage(image_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace panelsvc
