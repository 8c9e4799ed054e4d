// Control attributes, set and read by number. One table gives each number with a visible effect
// its kind of value, the controls it applies to, and how it is read and set. A number of the
// table on a control it does not apply to gives kPanelErrAttribute; an integer for a text
// attribute or the other way round gives kPanelErrType. Every other number is kept per control and
// reads back what was written (integer and text separately). Everything is written with the
// widget's signals blocked: attributes set by the program raise no event.
//
// 1202 (cursor style) and 1230 (trace colour) belong to SetCursorAttribute and SetTraceAttribute.
#include "runtime/lamp.h"
#include "runtime/panel_internal.h"
#include "runtime/strip_chart.h"
#include "runtime/timer_control.h"
#include "runtime/widget_support.h"
#include "runtime/xy_graph.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVariant>

#include <vector>

using namespace panelsvc;

namespace {

enum class Value { Int, Text };

struct Attribute {
    int number;
    Value value;
    bool (*applies)(const Control&);
    QVariant (*get)(const Control&);
    // Returns 0 or kPanelErrAttribute for a value outside what the control takes.
    int (*set)(Control&, const QVariant&);
};

bool Any(const Control&) {
    return true;
}
bool IsStripChart(const Control& c) {
    return c.kind == Kind::StripChart;
}
bool IsGraph(const Control& c) {
    return c.kind == Kind::Graph;
}
bool IsLamp(const Control& c) {
    return c.kind == Kind::Lamp;
}
bool IsChart(const Control& c) {
    return c.kind == Kind::StripChart || c.kind == Kind::Graph;
}
// Controls with a caption: charts' and the graph's title, buttons, text messages, group boxes.
bool HasLabel(const Control& c) {
    return IsChart(c) || c.kind == Kind::Command || c.kind == Kind::Toggle ||
           c.kind == Kind::Radio || c.kind == Kind::TextMessage ||
           qobject_cast<QGroupBox*>(c.widget.data());
}

template <typename W> W* As(const Control& c) {
    return static_cast<W*>(c.widget.data());
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

// A colour the program set reads back as set; otherwise what the widget shows.
QVariant StoredOr(const Control& c, int attribute, const QColor& shown) {
    auto it = c.intAttributes.find(attribute);
    return it != c.intAttributes.end() ? it->second : RgbFromColor(shown);
}

int Remember(Control& c, int attribute, int value) {
    c.intAttributes[attribute] = value & 0xFFFFFF;
    return 0;
}

int MoveEdge(Control& c, bool left, int value) {
    QWidget* w = c.widget;
    const QPoint origin =
        w->parentWidget() && !w->isWindow() ? PanelPosition(w->parentWidget()) : QPoint(0, 0);
    QPoint at = PanelPosition(w);
    (left ? at.rx() : at.ry()) = value;
    w->move(at - origin);
    return 0;
}

template <typename Change> int ChangeFont(Control& c, Change change) {
    QFont f = c.widget->font();
    change(f);
    c.widget->setFont(f);
    FitIfAutoSized(c.widget);
    return 0;
}

QString Label(const Control& c) {
    if (auto* g = qobject_cast<XYGraph*>(c.widget.data())) return g->label();
    if (auto* s = qobject_cast<StripChart*>(c.widget.data())) return s->title();
    if (auto* b = qobject_cast<QAbstractButton*>(c.widget.data())) return b->text();
    if (auto* l = qobject_cast<QLabel*>(c.widget.data())) return l->text();
    return As<QGroupBox>(c)->title();
}

int SetLabel(Control& c, const QString& text) {
    if (auto* g = qobject_cast<XYGraph*>(c.widget.data()))
        g->setLabel(text);
    else if (auto* s = qobject_cast<StripChart*>(c.widget.data()))
        s->setTitle(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(c.widget.data()))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(c.widget.data())) {
        l->setText(text);
        FitIfAutoSized(l);
    } else
        As<QGroupBox>(c)->setTitle(text);
    return 0;
}

int Flag(int value) {
    return value == 0 || value == 1 ? 0 : kPanelErrAttribute;
}

const Attribute kAttributes[] = {
    // 1: greyed out, takes no input and raises no event; a timer stops.
    {kAttrDimmed, Value::Int, Any,
     [](const Control& c) -> QVariant { return c.widget->isEnabledTo(c.widget->window()) ? 0 : 1; },
     [](Control& c, const QVariant& v) {
         c.widget->setEnabled(v.toInt() == 0);
         if (c.kind == Kind::Timer) As<TimerControl>(c)->setTicking(v.toInt() == 0);
         return 0;
     }},
    // 0: hidden (a timer has no face).
    {kAttrVisible, Value::Int, Any,
     [](const Control& c) -> QVariant { return c.widget->isHidden() ? 0 : 1; },
     [](Control& c, const QVariant& v) {
         if (c.kind != Kind::Timer) c.widget->setVisible(v.toInt() != 0);
         return 0;
     }},
    // Left and top edge in pixels from the panel's top-left corner.
    {kAttrLeft, Value::Int, Any,
     [](const Control& c) -> QVariant { return PanelPosition(c.widget).x(); },
     [](Control& c, const QVariant& v) { return MoveEdge(c, true, v.toInt()); }},
    {kAttrTop, Value::Int, Any,
     [](const Control& c) -> QVariant { return PanelPosition(c.widget).y(); },
     [](Control& c, const QVariant& v) { return MoveEdge(c, false, v.toInt()); }},
    // 0xRRGGBB behind the whole control area (the header band, a chart's background).
    {kAttrFrameColor, Value::Int, Any,
     [](const Control& c) {
         return StoredOr(c, kAttrFrameColor,
                         IsChart(c) ? QColor(Qt::white)
                                    : c.widget->palette().color(QPalette::Window));
     },
     [](Control& c, const QVariant& v) {
         const QColor color = ColorFromRgb(v.toInt());
         if (IsChart(c)) {
             As<QCustomPlot>(c)->setBackground(QBrush(color));
             c.widget->update();
         } else {
             SetPaletteColor(c.widget, {QPalette::Window}, color);
             c.widget->setAutoFillBackground(true);
         }
         return Remember(c, kAttrFrameColor, v.toInt());
     }},
    // 0xRRGGBB of the control's text.
    {kAttrTextColor, Value::Int, Any,
     [](const Control& c) {
         return StoredOr(c, kAttrTextColor, c.widget->palette().color(QPalette::WindowText));
     },
     [](Control& c, const QVariant& v) {
         SetPaletteColor(c.widget, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
                         ColorFromRgb(v.toInt()));
         return Remember(c, kAttrTextColor, v.toInt());
     }},
    // 0xRRGGBB behind the text (a text message: its area; fields: their edit area).
    {kAttrTextBgColor, Value::Int, Any,
     [](const Control& c) {
         return StoredOr(c, kAttrTextBgColor,
                         c.widget->palette().color(TextBackgroundRoles(c.kind).front()));
     },
     [](Control& c, const QVariant& v) {
         SetPaletteColor(c.widget, TextBackgroundRoles(c.kind), ColorFromRgb(v.toInt()));
         if (c.kind == Kind::TextMessage || c.kind == Kind::Decoration)
             c.widget->setAutoFillBackground(true);
         return Remember(c, kAttrTextBgColor, v.toInt());
     }},
    // Font family; "AppFont" is the application's font, a little narrower: header texts sit at
    // fixed pixel positions, and the program name must end before the version text starts.
    {kAttrTextFont, Value::Text, Any,
     [](const Control& c) -> QVariant {
         auto it = c.textAttributes.find(kAttrTextFont);
         return it != c.textAttributes.end() ? QString::fromStdString(it->second)
                                             : c.widget->font().family();
     },
     [](Control& c, const QVariant& v) {
         const QString name = v.toString();
         ChangeFont(c, [&](QFont& f) {
             const bool app = name == QLatin1String("AppFont");
             f.setFamily(app ? QApplication::font().family() : name);
             if (app) f.setStretch(QFont::SemiCondensed);
         });
         c.textAttributes[kAttrTextFont] = name.toStdString();
         return 0;
     }},
    // Text height in pixels (the unit of the panels' pixel layout), 1 to 500.
    {kAttrTextPointSize, Value::Int, Any,
     [](const Control& c) -> QVariant {
         const QFont f = c.widget->font();
         return f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
     },
     [](Control& c, const QVariant& v) {
         const int size = v.toInt();
         if (size < 1 || size > 500) return int(kPanelErrAttribute);
         return ChangeFont(c, [&](QFont& f) { f.setPixelSize(size); });
     }},
    {kAttrTextBold, Value::Int, Any,
     [](const Control& c) -> QVariant { return c.widget->font().bold() ? 1 : 0; },
     [](Control& c, const QVariant& v) {
         return ChangeFont(c, [&](QFont& f) { f.setBold(v.toInt() != 0); });
     }},
    // Caption: a chart's or the graph's title, a button's or text message's text, a group box's.
    {kAttrLabelText, Value::Text, HasLabel, [](const Control& c) -> QVariant { return Label(c); },
     [](Control& c, const QVariant& v) { return SetLabel(c, v.toString()); }},
    // Strip chart: 1 continuous (newest point at the right edge), 0 page by page.
    {kAttrScrollMode, Value::Int, IsStripChart,
     [](const Control& c) -> QVariant { return As<StripChart>(c)->scrollMode(); },
     [](Control& c, const QVariant& v) {
         if (Flag(v.toInt()) < 0) return int(kPanelErrAttribute);
         As<StripChart>(c)->setScrollMode(v.toInt());
         return 0;
     }},
    // Strip chart: 1 the y axis widens beyond its range to show every point on screen.
    {kAttrStripAutoscale, Value::Int, IsStripChart,
     [](const Control& c) -> QVariant { return As<StripChart>(c)->yAutoscale(); },
     [](Control& c, const QVariant& v) {
         if (Flag(v.toInt()) < 0) return int(kPanelErrAttribute);
         As<StripChart>(c)->setYAutoscale(v.toInt());
         return 0;
     }},
    // Strip chart: how many of the newest points show, 1 to 100000.
    {kAttrPointsPerScreen, Value::Int, IsStripChart,
     [](const Control& c) -> QVariant { return As<StripChart>(c)->pointsPerScreen(); },
     [](Control& c, const QVariant& v) {
         if (v.toInt() < 1 || v.toInt() > 100000) return int(kPanelErrAttribute);
         As<StripChart>(c)->setPointsPerScreen(v.toInt());
         return 0;
     }},
    // XY graph: x, y of no cursor (0), cursor 1 (1) or both (2) in the plot area's corner.
    {kAttrGraphCursorMode, Value::Int, IsGraph,
     [](const Control& c) -> QVariant { return As<XYGraph>(c)->readoutMode(); },
     [](Control& c, const QVariant& v) {
         return As<XYGraph>(c)->setReadoutMode(v.toInt()) ? 0 : int(kPanelErrAttribute);
     }},
    // Lamp: 1 blinks (about 2 Hz), 0 dark.
    {kAttrBlink, Value::Int, IsLamp,
     [](const Control& c) -> QVariant { return As<Lamp>(c)->state() == Lamp::kBlinking ? 1 : 0; },
     [](Control& c, const QVariant& v) {
         As<Lamp>(c)->setState(v.toInt() ? Lamp::kBlinking : Lamp::kDark);
         return 0;
     }},
};

const Attribute* Find(int number) {
    for (const Attribute& a : kAttributes)
        if (a.number == number) return &a;
    return nullptr;
}

// The row's verdict before a get or set with a value of kind `value`: 0 to go on.
int Check(const Attribute& a, const Control& c, Value value) {
    if (a.value != value) return kPanelErrType;
    return a.applies(c) ? 0 : kPanelErrAttribute;
}

int Get(const Control& c, int attribute, Value value, QVariant* out) {
    if (const Attribute* a = Find(attribute)) {
        const int err = Check(*a, c, value);
        if (err == 0) *out = a->get(c);
        return err;
    }
    auto i = c.intAttributes.find(attribute);
    auto t = c.textAttributes.find(attribute);
    if (value == Value::Int ? i != c.intAttributes.end() : t != c.textAttributes.end()) {
        *out = value == Value::Int ? QVariant(i->second) : QString::fromStdString(t->second);
        return 0;
    }
    return i != c.intAttributes.end() || t != c.textAttributes.end() ? kPanelErrType
                                                                     : kPanelErrAttribute;
}

int Set(Control& c, int attribute, Value value, const QVariant& v) {
    const QSignalBlocker block(c.widget);
    if (const Attribute* a = Find(attribute)) {
        const int err = Check(*a, c, value);
        return err < 0 ? err : a->set(c, v);
    }
    if (value == Value::Int) {
        c.intAttributes[attribute] = v.toInt();
        c.textAttributes.erase(attribute);
    } else {
        c.textAttributes[attribute] = v.toString().toStdString();
        c.intAttributes.erase(attribute);
    }
    return 0;
}

} // namespace

namespace panelsvc {

int ApplyIntAttribute(Control& control, int attribute, int value) {
    return Set(control, attribute, Value::Int, value);
}

} // namespace panelsvc

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    return c ? Set(*c, attribute, Value::Int, value) : err;
}

int SetCtrlAttribute(int panel, int control, int attribute, const char* value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    return c ? Set(*c, attribute, Value::Text, QString::fromUtf8(value ? value : "")) : err;
}

int GetCtrlAttribute(int panel, int control, int attribute, int* value) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    if (!value) return kPanelErrAttribute;
    QVariant v;
    err = Get(*c, attribute, Value::Int, &v);
    if (err == 0) *value = v.toInt();
    return err;
}

int GetCtrlAttribute(int panel, int control, int attribute, char* text, std::size_t size) {
    int err;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    QVariant v;
    err = Get(*c, attribute, Value::Text, &v);
    return err < 0 ? err : CopyText(v.toString(), text, size);
}
