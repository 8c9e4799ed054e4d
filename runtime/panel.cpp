// Control values, run-time text controls, text boxes, pictures, strip charts and the XY graph.
// Everything written here is written with the widget's signals blocked, so values set by the
// program raise no event. Attributes are in attributes.cpp.
#include "runtime/indicator.h"
#include "runtime/lamp.h"
#include "runtime/panel_internal.h"
#include "runtime/picture.h"
#include "runtime/strip_chart.h"
#include "runtime/widget_support.h"
#include "runtime/xy_graph.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace panelsvc;

namespace panelsvc {

QPoint PanelPosition(const QWidget* w) {
    // The panel content carries the handle, and so does its window: the nearest one is the
    // content.
    const QWidget* panel = w;
    while (panel && !panel->property("evokPanelHandle").isValid())
        panel = panel->parentWidget();
    return panel && panel != w ? w->mapTo(panel, QPoint(0, 0)) : QPoint(0, 0);
}

Control* LookupControl(int panel, int control, int* err) {
    if (!FindPanel(panel)) {
        *err = kPanelErrPanel;
        return nullptr;
    }
    Control* c = FindControl(panel, control);
    *err = c ? 0 : kPanelErrControl;
    return c;
}

void FitIfAutoSized(QWidget* w) {
    if (w->property("evokAutoSize").toBool()) w->adjustSize();
}

int CopyText(const QString& text, char* out, std::size_t size) {
    const QByteArray bytes = text.toUtf8();
    if (!out || static_cast<std::size_t>(bytes.size()) + 1 > size) return kPanelErrBufferSize;
    std::memcpy(out, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    out[bytes.size()] = '\0';
    return 0;
}

} // namespace panelsvc

namespace {

bool IsTextKind(Kind k) {
    return k == Kind::TextLine || k == Kind::TextBox || k == Kind::TextMessage;
}

// Reads count elements of the given type, element i at index start + i * stride.
bool ReadElements(const void* data, int type, int count, int start, int stride,
                  std::vector<double>* out) {
    out->clear();
    if (count < 0 || start < 0 || stride < 1 || (count > 0 && !data)) return false;
    out->reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::size_t at =
            static_cast<std::size_t>(start) + static_cast<std::size_t>(i) * stride;
        switch (type) {
        case kTypeDouble:
            out->push_back(static_cast<const double*>(data)[at]);
            break;
        case kTypeUShort:
            out->push_back(static_cast<const unsigned short*>(data)[at]);
            break;
        case kTypeUInt:
            out->push_back(static_cast<const unsigned int*>(data)[at]);
            break;
        default:
            return false;
        }
    }
    return true;
}

template <typename Widget> Widget* As(const Control& c) {
    return static_cast<Widget*>(c.widget.data());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Values

int GetCtrlVal(int panel, int control, int* value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (!value) return kPanelErrAttribute;
    switch (c->kind) {
    case Kind::Numeric:
        *value = As<QSpinBox>(*c)->value();
        return 0;
    case Kind::Indicator:
        *value = As<Indicator>(*c)->shownValue();
        return 0;
    case Kind::Ring: {
        auto* ring = As<QComboBox>(*c);
        if (ring->currentIndex() < 0) return kPanelErrAttribute;
        *value = ring->currentData().toInt();
        return 0;
    }
    case Kind::Toggle:
    case Kind::Radio:
        *value = As<QAbstractButton>(*c)->isChecked() ? 1 : 0;
        return 0;
    case Kind::Lamp:
        *value = As<Lamp>(*c)->state() == Lamp::kDark ? 0 : 1;
        return 0;
    default:
        return kPanelErrType;
    }
}

int GetCtrlVal(int panel, int control, unsigned short* value) {
    int v = 0;
    const int err = GetCtrlVal(panel, control, &v);
    if (err < 0) return err;
    if (!value) return kPanelErrAttribute;
    *value = static_cast<unsigned short>(v);
    return 0;
}

int GetCtrlVal(int panel, int control, char* text, std::size_t size) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    switch (c->kind) {
    case Kind::TextLine:
        return CopyText(As<QLineEdit>(*c)->text(), text, size);
    case Kind::TextBox:
        return CopyText(As<QPlainTextEdit>(*c)->toPlainText(), text, size);
    case Kind::TextMessage:
        return CopyText(As<QLabel>(*c)->text(), text, size);
    default:
        return kPanelErrType;
    }
}

int SetCtrlVal(int panel, int control, int value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    const QSignalBlocker block(c->widget);
    switch (c->kind) {
    case Kind::Indicator:
        As<Indicator>(*c)->showValue(value); // clamps to the range
        return 0;
    case Kind::Numeric:
        As<QSpinBox>(*c)->setValue(value);
        return 0; // clamps to the range
    case Kind::Ring: {
        auto* ring = As<QComboBox>(*c);
        const int index = ring->findData(value);
        if (index < 0) return kPanelErrAttribute;
        ring->setCurrentIndex(index);
        return 0;
    }
    case Kind::Toggle:
    case Kind::Radio:
        As<QAbstractButton>(*c)->setChecked(value != 0);
        return 0;
    case Kind::Lamp:
        As<Lamp>(*c)->setState(value ? Lamp::kLit : Lamp::kDark);
        return 0;
    default:
        return kPanelErrType;
    }
}

int SetCtrlVal(int panel, int control, unsigned short value) {
    return SetCtrlVal(panel, control, static_cast<int>(value));
}

int SetCtrlVal(int panel, int control, const char* text) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (!IsTextKind(c->kind)) return kPanelErrType;
    const QString t = QString::fromUtf8(text ? text : "");
    const QSignalBlocker block(c->widget);
    switch (c->kind) {
    case Kind::TextLine: {
        auto* line = As<QLineEdit>(*c);
        line->setText(t);
        line->setModified(false);
        line->setCursorPosition(0); // show the start of a long text
        return 0;
    }
    case Kind::TextBox:
        As<QPlainTextEdit>(*c)->setPlainText(t);
        return 0;
    default:
        As<QLabel>(*c)->setText(t);
        FitIfAutoSized(c->widget);
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Run-time text messages, text boxes, pictures

int NewCtrl(int panel, int style, const char* label, int top, int left) {
    Panel* p = FindPanel(panel);
    if (!p || !p->content) return kPanelErrPanel;
    if (style != kCtrlTextMessage) return kPanelErrAttribute;
    auto* text = new QLabel(QString::fromUtf8(label ? label : ""), p->content);
    const int id = NextFreeControlId(*p);
    text->setProperty("ctrlId", id);
    text->setProperty("evokAutoSize", true);
    text->setAttribute(Qt::WA_TransparentForMouseEvents); // clicks reach what lies below
    text->move(left, top);
    text->adjustSize();
    text->raise();
    text->show();
    Control c;
    c.id = id;
    c.kind = Kind::TextMessage;
    c.widget = text;
    auto [it, inserted] = p->controls.emplace(id, std::move(c));
    WireControl(panel, it->second);
    return id;
}

int ReplaceTextBoxLine(int panel, int control, int line, const char* text) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::TextBox) return kPanelErrType;
    if (line < 0) return kPanelErrAttribute;
    auto* box = As<QPlainTextEdit>(*c);
    const QString all = box->toPlainText();
    QStringList lines = all.isEmpty() ? QStringList() : all.split('\n');
    const QString t = QString::fromUtf8(text ? text : "");
    if (line < lines.size())
        lines[line] = t;
    else
        lines.append(t);
    const QSignalBlocker block(box);
    box->setPlainText(lines.join('\n'));
    return 0;
}

int ResetTextBox(int panel, int control, const char* text) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::TextBox) return kPanelErrType;
    const QSignalBlocker block(c->widget);
    As<QPlainTextEdit>(*c)->setPlainText(QString::fromUtf8(text ? text : ""));
    return 0;
}

int DisplayImageFile(int panel, int control, const char* file) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::Picture) return kPanelErrType;
    if (!file || !*file) return kPanelErrImage;
    QImageReader reader(BesideProgram(file));
    const QImage image = reader.read();
    if (image.isNull()) return kPanelErrImage; // the picture keeps what it showed
    As<Picture>(*c)->setImage(image);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Strip charts

int PlotStripChart(int panel, int control, const void* values, int count, int start, int skip,
                   int dataType) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::StripChart) return kPanelErrType;
    if (dataType != kTypeDouble && dataType != kTypeUShort && dataType != kTypeUInt)
        return kPanelErrType;
    if (skip < 0) return kPanelErrAttribute;
    std::vector<double> points;
    if (!ReadElements(values, dataType, count, start, skip + 1, &points)) return kPanelErrAttribute;
    As<StripChart>(*c)->appendPoints(points);
    return 0;
}

int SetTraceAttribute(int panel, int control, int trace, int attribute, int value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::StripChart) return kPanelErrType;
    if (trace != 1 || attribute != kAttrTraceColor) return kPanelErrAttribute;
    As<StripChart>(*c)->setTraceColor(ColorFromRgb(value));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// XY graph

namespace {
XYGraph* GraphOf(int panel, int control, int* err) {
    Control* c = LookupControl(panel, control, err);
    if (!c) return nullptr;
    if (c->kind != Kind::Graph) {
        *err = kPanelErrType;
        return nullptr;
    }
    return As<XYGraph>(*c);
}
} // namespace

int PlotXY(int panel, int control, const void* x, const void* y, int count, int xType, int yType,
           int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int color) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    XYPlotData data;
    for (int type : {xType, yType})
        if (type != kTypeDouble && type != kTypeUShort && type != kTypeUInt) return kPanelErrType;
    if (!ReadElements(x, xType, count, 0, 1, &data.x) ||
        !ReadElements(y, yType, count, 0, 1, &data.y))
        return kPanelErrAttribute;
    data.plotStyle = plotStyle;
    data.pointStyle = pointStyle;
    data.lineStyle = lineStyle;
    data.pointFrequency = pointFrequency;
    data.color = color & 0xFFFFFF;
    return g->addPlot(std::move(data));
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int /*refresh: redraws are queued*/) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    return g->deletePlot(plotHandle) ? 0 : kPanelErrAttribute;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    return g->setAxisScaling(axis, mode, min, max) ? 0 : kPanelErrAttribute;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    return g->setCursor(cursor, x, y) ? 0 : kPanelErrAttribute;
}

int GetGraphCursor(int panel, int control, int cursor, double* x, double* y) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    return g->cursor(cursor, x, y) ? 0 : kPanelErrAttribute;
}

int SetCursorAttribute(int panel, int control, int cursor, int attribute, int value) {
    int err;
    XYGraph* g = GraphOf(panel, control, &err);
    if (!g) return err;
    if (attribute != kAttrCursorStyle) return kPanelErrAttribute;
    return g->setCursorStyle(cursor, value) ? 0 : kPanelErrAttribute;
}
