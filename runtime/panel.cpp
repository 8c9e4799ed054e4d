// Control values, attributes, run-time text controls, text boxes, pictures, strip charts and the
// XY graph. Everything written here is written with the widget's signals blocked, so values and
// attributes set by the program raise no event.
//
// Attribute numbers and their effect
// -----------------------------------
//  No.   name               value             controls       effect
//  500   dimmed             0 / 1             all            1: greyed out; takes no input and
//                                                            raises no event; a timer stops
//  530   visible            0 / 1             all            0: hidden
//  531   left               pixels            all            left edge, from the panel's left
//  532   top                pixels            all            top edge, from the panel's top
//  550   frame colour       0xRRGGBB          all            background of the whole control
//                                                            area (header band, chart background)
//  680   text colour        0xRRGGBB          all            colour of the control's text
//  682   font name (text)   "AppFont"/family  all            "AppFont": the application's font
//  686   text size          pixels            all            text height in pixels (the unit of
//                                                            the panels' pixel layout)
//  687   bold               0 / 1             all            bold text
//  690   text background    0xRRGGBB          all            behind the text (text message: its
//                                                            area; fields: their edit area)
//  1088  scroll mode        0 / 1             strip chart    1: continuous, newest point at the
//                                                            right edge; 0: page by page
//  1093  label (text)       text              graph, chart   title above the plot area
//                                             buttons, text  their caption
//                                             messages, group boxes
//  1140  cursor readout     0 / 1 / 2         XY graph       x, y of no cursor, cursor 1, or both
//                                                            in the plot area's top right corner
//  1170  y autoscale        0 / 1             strip chart    1: the y axis widens beyond its
//                                                            configured range to show every point
//                                                            on screen; 0: fixed range
//  1171  points per screen  1 .. 100000       strip chart    how many of the newest points show
//  1271  live blinking      0 / 1             lamp           1: blinks (about 2 Hz); 0: dark
//  1202  cursor style       0 .. 4            graph cursor   (SetCursorAttribute) 0 full
//                                                            crosshair, 1 small square, 2 small
//                                                            circle, 3 small plus, 4 small
//                                                            crosshair (25 px)
//  1230  trace colour       0xRRGGBB          chart trace    (SetTraceAttribute) trace 1's colour
//
// A number of the table on a control it does not apply to gives kPanelErrAttribute. Every other
// number is kept per control and reads back what was written (integer and text separately).
#include "runtime/panel_internal.h"
#include "runtime/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace panelsvc;

namespace {

// Looks the control up; *err is kPanelErrPanel or kPanelErrControl when there is none.
Control* Lookup(int panel, int control, int* err) {
    if (!FindPanel(panel)) {
        *err = kPanelErrPanel;
        return nullptr;
    }
    Control* c = FindControl(panel, control);
    *err = c ? 0 : kPanelErrControl;
    return c;
}

// Indicators (read-only numeric controls) written by the program: a new value is taken at once
// (GetCtrlVal reads it back) and shown at the next event processing. The live loop writes the
// indicators between taking a frame and asking for the next one; laying out their texts then
// would hold the request back.
struct PendingIndicator {
    QPointer<QSpinBox> box;
    int value;
};
std::vector<PendingIndicator> g_pendingIndicators;

void ShowPendingIndicators() {
    std::vector<PendingIndicator> pending;
    pending.swap(g_pendingIndicators);
    for (const PendingIndicator& p : pending) {
        if (!p.box || p.box->value() == p.value) continue;
        const QSignalBlocker block(p.box);
        p.box->setValue(p.value);
    }
}

PendingIndicator* FindPending(QSpinBox* box) {
    for (PendingIndicator& p : g_pendingIndicators)
        if (p.box == box) return &p;
    return nullptr;
}

void SetIndicator(QSpinBox* box, int value) {
    value = std::clamp(value, box->minimum(), box->maximum());
    if (PendingIndicator* p = FindPending(box)) {
        p->value = value;
        return;
    }
    if (box->value() == value) return; // shows it already: not touched, not repainted
    if (g_pendingIndicators.empty())
        QMetaObject::invokeMethod(qApp, &ShowPendingIndicators, Qt::QueuedConnection);
    g_pendingIndicators.push_back({box, value});
}

int IndicatorValue(QSpinBox* box) {
    const PendingIndicator* p = FindPending(box);
    return p ? p->value : box->value();
}

bool IsIntegerTableAttribute(int attribute) {
    switch (attribute) {
    case kAttrDimmed:
    case kAttrVisible:
    case kAttrLeft:
    case kAttrTop:
    case kAttrFrameColor:
    case kAttrTextColor:
    case kAttrTextPointSize:
    case kAttrTextBold:
    case kAttrTextBgColor:
    case kAttrScrollMode:
    case kAttrGraphCursorMode:
    case kAttrStripAutoscale:
    case kAttrPointsPerScreen:
    case kAttrBlink:
        return true;
    default:
        return false;
    }
}

bool IsTextKind(Kind k) {
    return k == Kind::TextLine || k == Kind::TextBox || k == Kind::TextMessage;
}

// Text messages created at run time keep their size fitted to their text.
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

void SetPaletteColor(QWidget* w, const std::vector<QPalette::ColorRole>& roles,
                     const QColor& color) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles)
        p.setColor(role, color);
    w->setPalette(p);
}

// Where a control's text background lives.
std::vector<QPalette::ColorRole> TextBackgroundRoles(Kind k) {
    switch (k) {
    case Kind::TextLine:
    case Kind::TextBox:
    case Kind::Numeric:
    case Kind::Indicator:
        return {QPalette::Base};
    case Kind::Ring:
        return {QPalette::Base, QPalette::Button};
    case Kind::Command:
    case Kind::Toggle:
        return {QPalette::Button};
    default:
        return {QPalette::Window};
    }
}

int IntAttribute(const Control& c, int attribute, int* value) {
    QWidget* w = c.widget;
    auto stored = c.intAttributes.find(attribute);
    switch (attribute) {
    case kAttrDimmed:
        *value = w->isEnabledTo(w->window()) ? 0 : 1;
        return 0;
    case kAttrVisible:
        *value = w->isHidden() ? 0 : 1;
        return 0;
    case kAttrLeft:
        *value = w->mapTo(w->window(), QPoint(0, 0)).x();
        return 0;
    case kAttrTop:
        *value = w->mapTo(w->window(), QPoint(0, 0)).y();
        return 0;
    case kAttrFrameColor:
        *value = stored != c.intAttributes.end() ? stored->second
                 : c.kind == Kind::StripChart || c.kind == Kind::Graph
                     ? 0xFFFFFF
                     : RgbFromColor(w->palette().color(QPalette::Window));
        return 0;
    case kAttrTextColor:
        *value = stored != c.intAttributes.end()
                     ? stored->second
                     : RgbFromColor(w->palette().color(QPalette::WindowText));
        return 0;
    case kAttrTextBgColor:
        *value = stored != c.intAttributes.end()
                     ? stored->second
                     : RgbFromColor(w->palette().color(TextBackgroundRoles(c.kind).front()));
        return 0;
    case kAttrTextPointSize:
        *value =
            w->font().pixelSize() > 0 ? w->font().pixelSize() : QFontInfo(w->font()).pixelSize();
        return 0;
    case kAttrTextBold:
        *value = w->font().bold() ? 1 : 0;
        return 0;
    case kAttrScrollMode:
        if (c.kind != Kind::StripChart) return kPanelErrAttribute;
        *value = static_cast<StripChart*>(w)->scrollMode();
        return 0;
    case kAttrStripAutoscale:
        if (c.kind != Kind::StripChart) return kPanelErrAttribute;
        *value = static_cast<StripChart*>(w)->yAutoscale();
        return 0;
    case kAttrPointsPerScreen:
        if (c.kind != Kind::StripChart) return kPanelErrAttribute;
        *value = static_cast<StripChart*>(w)->pointsPerScreen();
        return 0;
    case kAttrGraphCursorMode:
        if (c.kind != Kind::Graph) return kPanelErrAttribute;
        *value = static_cast<XYGraph*>(w)->readoutMode();
        return 0;
    case kAttrBlink:
        if (c.kind != Kind::Lamp) return kPanelErrAttribute;
        *value = static_cast<Lamp*>(w)->state() == Lamp::kBlinking ? 1 : 0;
        return 0;
    case kAttrTextFont:
    case kAttrLabelText:
        return kPanelErrType;
    default:
        if (stored == c.intAttributes.end())
            return c.textAttributes.count(attribute) ? kPanelErrType : kPanelErrAttribute;
        *value = stored->second;
        return 0;
    }
}

int TextAttribute(const Control& c, int attribute, QString* text) {
    QWidget* w = c.widget;
    switch (attribute) {
    case kAttrTextFont: {
        auto stored = c.textAttributes.find(attribute);
        *text = stored != c.textAttributes.end() ? QString::fromStdString(stored->second)
                                                 : w->font().family();
        return 0;
    }
    case kAttrLabelText:
        switch (c.kind) {
        case Kind::Graph:
            *text = static_cast<XYGraph*>(w)->label();
            return 0;
        case Kind::StripChart:
            *text = static_cast<StripChart*>(w)->title();
            return 0;
        case Kind::Command:
        case Kind::Toggle:
        case Kind::Radio:
            *text = static_cast<QAbstractButton*>(w)->text();
            return 0;
        case Kind::TextMessage:
            *text = static_cast<QLabel*>(w)->text();
            return 0;
        default:
            if (auto* g = qobject_cast<QGroupBox*>(w)) {
                *text = g->title();
                return 0;
            }
            return kPanelErrAttribute;
        }
    default: {
        auto stored = c.textAttributes.find(attribute);
        if (IsIntegerTableAttribute(attribute) || c.intAttributes.count(attribute))
            return kPanelErrType;
        if (stored == c.textAttributes.end()) return kPanelErrAttribute;
        *text = QString::fromStdString(stored->second);
        return 0;
    }
    }
}

} // namespace

namespace panelsvc {

int ApplyIntAttribute(Control& c, int attribute, int value) {
    QWidget* w = c.widget;
    const QSignalBlocker block(w);
    switch (attribute) {
    case kAttrDimmed:
        w->setEnabled(value == 0);
        if (c.kind == Kind::Timer) static_cast<TimerControl*>(w)->setTicking(value == 0);
        return 0;
    case kAttrVisible:
        if (c.kind != Kind::Timer) w->setVisible(value != 0); // a timer has no face
        return 0;
    case kAttrLeft:
    case kAttrTop: {
        const QPoint origin = w->parentWidget() && !w->isWindow()
                                  ? w->parentWidget()->mapTo(w->window(), QPoint(0, 0))
                                  : QPoint(0, 0);
        QPoint at = w->mapTo(w->window(), QPoint(0, 0));
        (attribute == kAttrLeft ? at.rx() : at.ry()) = value;
        w->move(at - origin);
        return 0;
    }
    case kAttrFrameColor: {
        const QColor color = ColorFromRgb(value);
        if (c.kind == Kind::StripChart || c.kind == Kind::Graph) {
            auto* plot = static_cast<QCustomPlot*>(w);
            plot->setBackground(QBrush(color));
            plot->update();
        } else {
            SetPaletteColor(w, {QPalette::Window}, color);
            w->setAutoFillBackground(true);
        }
        c.intAttributes[attribute] = value & 0xFFFFFF;
        return 0;
    }
    case kAttrTextColor:
        SetPaletteColor(w, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
                        ColorFromRgb(value));
        c.intAttributes[attribute] = value & 0xFFFFFF;
        return 0;
    case kAttrTextBgColor:
        SetPaletteColor(w, TextBackgroundRoles(c.kind), ColorFromRgb(value));
        if (c.kind == Kind::TextMessage || c.kind == Kind::Decoration)
            w->setAutoFillBackground(true);
        c.intAttributes[attribute] = value & 0xFFFFFF;
        return 0;
    case kAttrTextPointSize: {
        if (value < 1 || value > 500) return kPanelErrAttribute;
        QFont f = w->font();
        f.setPixelSize(value);
        w->setFont(f);
        FitIfAutoSized(w);
        return 0;
    }
    case kAttrTextBold: {
        QFont f = w->font();
        f.setBold(value != 0);
        w->setFont(f);
        FitIfAutoSized(w);
        return 0;
    }
    case kAttrScrollMode:
        if (c.kind != Kind::StripChart || (value != 0 && value != 1)) return kPanelErrAttribute;
        static_cast<StripChart*>(w)->setScrollMode(value);
        return 0;
    case kAttrStripAutoscale:
        if (c.kind != Kind::StripChart || (value != 0 && value != 1)) return kPanelErrAttribute;
        static_cast<StripChart*>(w)->setYAutoscale(value);
        return 0;
    case kAttrPointsPerScreen:
        if (c.kind != Kind::StripChart || value < 1 || value > 100000) return kPanelErrAttribute;
        static_cast<StripChart*>(w)->setPointsPerScreen(value);
        return 0;
    case kAttrGraphCursorMode:
        if (c.kind != Kind::Graph) return kPanelErrAttribute;
        return static_cast<XYGraph*>(w)->setReadoutMode(value) ? 0 : kPanelErrAttribute;
    case kAttrBlink:
        if (c.kind != Kind::Lamp) return kPanelErrAttribute;
        static_cast<Lamp*>(w)->setState(value ? Lamp::kBlinking : Lamp::kDark);
        return 0;
    case kAttrTextFont:
    case kAttrLabelText:
        return kPanelErrType;
    default:
        c.intAttributes[attribute] = value;
        c.textAttributes.erase(attribute);
        return 0;
    }
}

} // namespace panelsvc

namespace {

int ApplyTextAttribute(Control& c, int attribute, const QString& text) {
    QWidget* w = c.widget;
    const QSignalBlocker block(w);
    switch (attribute) {
    case kAttrTextFont: {
        QFont f = w->font();
        if (text == QLatin1String("AppFont")) {
            // The application's font, set a little narrower: header texts sit at fixed pixel
            // positions, and the program name must end before the version text starts.
            f.setFamily(QApplication::font().family());
            f.setStretch(QFont::SemiCondensed);
        } else {
            f.setFamily(text);
        }
        w->setFont(f);
        FitIfAutoSized(w);
        c.textAttributes[attribute] = text.toStdString();
        return 0;
    }
    case kAttrLabelText:
        switch (c.kind) {
        case Kind::Graph:
            static_cast<XYGraph*>(w)->setLabel(text);
            return 0;
        case Kind::StripChart:
            static_cast<StripChart*>(w)->setTitle(text);
            return 0;
        case Kind::Command:
        case Kind::Toggle:
        case Kind::Radio:
            static_cast<QAbstractButton*>(w)->setText(text);
            return 0;
        case Kind::TextMessage:
            static_cast<QLabel*>(w)->setText(text);
            FitIfAutoSized(w);
            return 0;
        default:
            if (auto* g = qobject_cast<QGroupBox*>(w)) {
                g->setTitle(text);
                return 0;
            }
            return kPanelErrAttribute;
        }
    default:
        // Integer attributes of the table take no text; other numbers keep the text.
        if (IsIntegerTableAttribute(attribute)) return kPanelErrType;
        c.textAttributes[attribute] = text.toStdString();
        c.intAttributes.erase(attribute);
        return 0;
    }
}

template <typename Widget> Widget* As(const Control& c) {
    return static_cast<Widget*>(c.widget.data());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Values

int GetCtrlVal(int panel, int control, int* value) {
    int err;
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    if (!value) return kPanelErrAttribute;
    switch (c->kind) {
    case Kind::Numeric:
        *value = As<QSpinBox>(*c)->value();
        return 0;
    case Kind::Indicator:
        *value = IndicatorValue(As<QSpinBox>(*c));
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
    Control* c = Lookup(panel, control, &err);
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
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    const QSignalBlocker block(c->widget);
    switch (c->kind) {
    case Kind::Indicator:
        SetIndicator(As<QSpinBox>(*c), value); // clamps to the range
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
    Control* c = Lookup(panel, control, &err);
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
// Attributes

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    int err;
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    return ApplyIntAttribute(*c, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value) {
    int err;
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    return ApplyTextAttribute(*c, attribute, QString::fromUtf8(value ? value : ""));
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
    int err;
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    if (!value) return kPanelErrAttribute;
    return IntAttribute(*c, attribute, value);
}

int GetCtrlAttribute(int panel, int control, int attribute, char* text, std::size_t size) {
    int err;
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    QString t;
    err = TextAttribute(*c, attribute, &t);
    return err < 0 ? err : CopyText(t, text, size);
}

// ---------------------------------------------------------------------------------------------
// Run-time text messages, text boxes, pictures

int NewCtrl(int panel, int style, const char* label, int top, int left) {
    Panel* p = FindPanel(panel);
    if (!p || !p->window) return kPanelErrPanel;
    if (style != kCtrlTextMessage) return kPanelErrAttribute;
    auto* text = new QLabel(QString::fromUtf8(label ? label : ""), p->window);
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
    Control* c = Lookup(panel, control, &err);
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
    Control* c = Lookup(panel, control, &err);
    if (!c) return err;
    if (c->kind != Kind::TextBox) return kPanelErrType;
    const QSignalBlocker block(c->widget);
    As<QPlainTextEdit>(*c)->setPlainText(QString::fromUtf8(text ? text : ""));
    return 0;
}

int DisplayImageFile(int panel, int control, const char* file) {
    int err;
    Control* c = Lookup(panel, control, &err);
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
    Control* c = Lookup(panel, control, &err);
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
    Control* c = Lookup(panel, control, &err);
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
    Control* c = Lookup(panel, control, err);
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
