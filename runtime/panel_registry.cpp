// Loading panels from the panel description, the table of loaded panels, and the routing of
// operator input to callbacks.
//
// Callbacks run synchronously on the GUI thread from inside a widget's signal or event, and may
// run nested event processing. Therefore: every dispatch looks the panel and control up again by
// handle and identifier (never through a pointer kept across a callback), and a panel discarded
// while any callback is running is hidden and unregistered at once but deleted only later, when
// no widget of it can be on the call stack.
#include "runtime/chart_recorder.h"
#include "runtime/com_port_ring.h"
#include "runtime/due_ticks.h"
#include "runtime/indicator.h"
#include "runtime/lamp.h"
#include "runtime/opaque_backdrop.h"
#include "runtime/panel_internal.h"
#include "runtime/panel_window.h"
#include "runtime/picture.h"
#include "runtime/program_dir.h"
#include "runtime/strip_chart.h"
#include "runtime/timer_control.h"
#include "runtime/widget_support.h"
#include "runtime/xy_graph.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QUiLoader>

#include <algorithm>
#include <vector>

namespace panelsvc {
namespace {

const CallbackEntry* g_table = nullptr;
int g_tableCount = 0;

std::map<int, std::unique_ptr<Panel>>& Panels() {
    static std::map<int, std::unique_ptr<Panel>> panels;
    return panels;
}
int g_nextHandle = 1;

// Number of callbacks running right now (nested ones included).
int g_dispatchDepth = 0;
struct DispatchScope {
    DispatchScope() { ++g_dispatchDepth; }
    ~DispatchScope() { --g_dispatchDepth; }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
};

const CallbackEntry* FindCallback(const std::string& name) {
    for (int i = 0; i < g_tableCount; ++i)
        if (g_table[i].name && name == g_table[i].name) return &g_table[i];
    return nullptr;
}

// Value changed, then commit: the order the system relies on.
void RaiseChange(int panel, int control) {
    RaiseCtrlEvent(panel, control, kEvValueChanged);
    RaiseCtrlEvent(panel, control, kEvCommit);
}

// Creates the service's own controls for the promoted classes of the panel description.
class PanelLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        QWidget* w = nullptr;
        if (className == QLatin1String("EvokStripChart"))
            w = new StripChart(parent);
        else if (className == QLatin1String("EvokXYGraph"))
            w = new XYGraph(parent);
        else if (className == QLatin1String("EvokTimer"))
            w = new TimerControl(parent);
        else if (className == QLatin1String("EvokLamp"))
            w = new Lamp(parent);
        else if (className == QLatin1String("EvokComRing"))
            w = new ComPortRing(parent);
        else if (className == QLatin1String("EvokPicture"))
            w = new Picture(parent);
        else if (className == QLatin1String("EvokIndicator"))
            w = new Indicator(parent);
        else
            return QUiLoader::createWidget(className, parent, name);
        w->setObjectName(name);
        // Strip charts offer the live recording in their context menu.
        if (qobject_cast<StripChart*>(w)) ChartRecorder::instance().attach(w);
        return w;
    }
};

Kind KindOf(QWidget* w) {
    if (qobject_cast<StripChart*>(w)) return Kind::StripChart;
    if (qobject_cast<XYGraph*>(w)) return Kind::Graph;
    if (qobject_cast<TimerControl*>(w)) return Kind::Timer;
    if (qobject_cast<Lamp*>(w)) return Kind::Lamp;
    if (qobject_cast<Picture*>(w)) return Kind::Picture;
    if (qobject_cast<QRadioButton*>(w)) return Kind::Radio;
    if (qobject_cast<QCheckBox*>(w)) return Kind::Toggle;
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->isCheckable() ? Kind::Toggle : Kind::Command;
    if (qobject_cast<Indicator*>(w)) return Kind::Indicator;
    if (qobject_cast<QSpinBox*>(w)) return Kind::Numeric;
    if (qobject_cast<QComboBox*>(w)) return Kind::Ring;
    if (qobject_cast<QLineEdit*>(w)) return Kind::TextLine;
    if (qobject_cast<QPlainTextEdit*>(w)) return Kind::TextBox;
    if (qobject_cast<QLabel*>(w)) return Kind::TextMessage;
    return Kind::Decoration;
}

// Numbers need no text shaping: laying out a new value then costs a glyph lookup per digit.
void PlainDigits(QWidget* w) {
    QFont f = w->font();
    f.setStyleStrategy(QFont::PreferNoShaping);
    w->setFont(f);
}

// Start-up settings of a control that the widget itself does not take from the description.
void Configure(Control& c) {
    QWidget* w = c.widget;
    switch (c.kind) {
    case Kind::StripChart:
        static_cast<StripChart*>(w)->configure();
        break;
    case Kind::Graph:
        static_cast<XYGraph*>(w)->configure();
        break;
    case Kind::Timer:
        static_cast<TimerControl*>(w)->configure();
        break;
    case Kind::Lamp:
        static_cast<Lamp*>(w)->configure();
        break;
    case Kind::Numeric:
        static_cast<QSpinBox*>(w)->setKeyboardTracking(false);
        PlainDigits(w);
        // The text cursor of a focused field blinks twice a second: it repaints the field alone,
        // not the group box behind it.
        OpaqueBackdrop::attach(w);
        break;
    case Kind::TextLine:
        OpaqueBackdrop::attach(w);
        break;
    case Kind::Indicator:
        // The live view writes the indicators many times a second.
        PlainDigits(w);
        OpaqueBackdrop::attach(w);
        break;
    case Kind::Radio:
        static_cast<QRadioButton*>(w)->setAutoExclusive(false);
        break;
    case Kind::Ring:
        if (auto* com = qobject_cast<ComPortRing*>(w)) {
            com->refreshLabels();
        } else {
            // Item values: the description's itemValues ("0,1,2"), else the item's position.
            auto* ring = static_cast<QComboBox*>(w);
            const QStringList values =
                w->property("itemValues").toString().split(',', Qt::SkipEmptyParts);
            for (int i = 0; i < ring->count(); ++i) {
                int value = i;
                if (i < values.size()) {
                    bool ok = false;
                    const int given = values[i].trimmed().toInt(&ok);
                    if (ok) value = given;
                }
                ring->setItemData(i, value);
            }
        }
        break;
    case Kind::TextBox: {
        auto* box = static_cast<QPlainTextEdit*>(w);
        // One-line boxes: a thin document margin so the line fits the box.
        if (box->height() < 40) box->document()->setDocumentMargin(2);
        break;
    }
    default:
        break;
    }
    // Controls that start hidden (Designer keeps no "visible" property of its own).
    if (w->property("startHidden").toBool()) w->hide();
    // Start colours given by the description, applied like the attributes of the same meaning.
    const std::pair<const char*, int> colorProperties[] = {{"frameColor", kAttrFrameColor},
                                                           {"textColor", kAttrTextColor},
                                                           {"textBgColor", kAttrTextBgColor}};
    for (const auto& [name, attribute] : colorProperties) {
        const QColor color(w->property(name).toString());
        if (color.isValid()) ApplyIntAttribute(c, attribute, RgbFromColor(color));
    }
}

} // namespace

void RaiseCtrlEvent(int panel, int control, int event, int data1, int data2) {
    DeliverDueTicks(); // the callback sees every tick that came before its event
    Control* c = FindControl(panel, control);
    if (!c || !c->callback) return;
    const CtrlCallbackPtr callback = c->callback;
    DispatchScope scope;
    callback(panel, control, event, nullptr, data1, data2);
}

void RaisePanelEvent(int panel, int event) {
    DeliverDueTicks();
    Panel* p = FindPanel(panel);
    if (!p || !p->callback) return;
    const PanelCallbackPtr callback = p->callback;
    DispatchScope scope;
    callback(panel, event, nullptr, 0, 0);
}

QString BesideProgram(const char* file) {
    const QString name = QString::fromLocal8Bit(file);
    if (name.contains('/')) return name;
    return QDir(QString::fromStdString(runtime_detail::ProgramDirectory())).filePath(name);
}

bool GuiRunning() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

Panel* FindPanel(int handle) {
    auto it = Panels().find(handle);
    return it == Panels().end() ? nullptr : it->second.get();
}

Control* FindControl(int panel, int control) {
    Panel* p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    if (it == p->controls.end() || !it->second.widget) return nullptr;
    return &it->second;
}

int NextFreeControlId(const Panel& panel) {
    return panel.controls.empty() ? 1 : panel.controls.rbegin()->first + 1;
}

void WireControl(int h, Control& c) {
    QWidget* w = c.widget;
    const int id = c.id;
    switch (c.kind) {
    case Kind::Command:
        QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                         [h, id] { RaiseCtrlEvent(h, id, kEvCommit); });
        break;
    case Kind::Toggle:
    case Kind::Radio:
        QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, w,
                         [h, id] { RaiseChange(h, id); });
        break;
    case Kind::Numeric:
        // Keyboard tracking is off: this comes once an edit is committed (Enter, focus out) and
        // the value differs, or at once for a step (arrow, wheel, cursor keys).
        QObject::connect(static_cast<QSpinBox*>(w), &QSpinBox::valueChanged, w,
                         [h, id] { RaiseChange(h, id); });
        break;
    case Kind::Ring:
        QObject::connect(static_cast<QComboBox*>(w), &QComboBox::activated, w,
                         [h, id] { RaiseChange(h, id); });
        break;
    case Kind::TextLine: {
        auto* line = static_cast<QLineEdit*>(w);
        QObject::connect(line, &QLineEdit::editingFinished, w, [h, id, line] {
            if (!line->isModified()) return;
            line->setModified(false);
            RaiseChange(h, id);
        });
        break;
    }
    case Kind::Timer:
        // A tick that comes due while the timer's own callback runs (nested event processing)
        // is dropped rather than run inside the running one. (A coalescing timer's ticks never
        // nest: they wait for the running delivery and come after it, none dropped.)
        QObject::connect(static_cast<TimerControl*>(w), &TimerControl::tick, w,
                         [h, id, running = false]() mutable {
                             if (running) return;
                             running = true;
                             RaiseCtrlEvent(h, id, kEvTimerTick);
                             running = false;
                         });
        break;
    default:
        break;
    }
    if (c.callback) {
        w->installEventFilter(Router());
        for (QWidget* child : w->findChildren<QWidget*>())
            child->installEventFilter(Router());
    }
}

} // namespace panelsvc

using namespace panelsvc;

const char* PanelErrorText(int code) {
    switch (code) {
    case kPanelErrFile:
        return "Panel file missing or damaged";
    case kPanelErrResource:
        return "No such panel in the panel file";
    case kPanelErrCallback:
        return "Panel file names an unknown callback";
    case kPanelErrPanel:
        return "No such panel";
    case kPanelErrControl:
        return "No such control";
    case kPanelErrAttribute:
        return "Attribute or value does not apply";
    case kPanelErrType:
        return "Value type does not match the control";
    case kPanelErrNotStarted:
        return "Run-time not started";
    case kPanelErrImage:
        return "Picture file missing or unreadable";
    case kPanelErrBufferSize:
        return "Text does not fit the buffer";
    default:
        return "Panel error";
    }
}

void SetCallbackTable(const CallbackEntry* table, int count) {
    g_table = table;
    g_tableCount = table ? std::max(count, 0) : 0;
}

int LoadPanel(int parent, const char* file, int resourceId) {
    if (!GuiRunning()) return kPanelErrNotStarted;
    if (parent != 0) return kPanelErrPanel; // panels are top-level windows only
    if (!file || !*file) return kPanelErrFile;
    QFile f(BesideProgram(file));
    if (!f.open(QIODevice::ReadOnly)) return kPanelErrFile;

    PanelLoader loader;
    loader.clearPluginPaths(); // only the service's own controls, never foreign plugins
    std::unique_ptr<QWidget> root(loader.load(&f, nullptr));
    if (!root) return kPanelErrFile;

    QWidget* panelWidget = nullptr;
    for (QWidget* child : root->findChildren<QWidget*>()) {
        bool ok = false;
        if (child->property("panelResource").toInt(&ok) == resourceId && ok) {
            panelWidget = child;
            break;
        }
    }
    if (!panelWidget) return kPanelErrResource;

    auto panel = std::make_unique<Panel>();
    panel->resource = resourceId;
    panel->callbackName = panelWidget->property("panelCallback").toString().toStdString();
    if (!panel->callbackName.empty()) {
        const CallbackEntry* e = FindCallback(panel->callbackName);
        if (!e || !e->panelCallback) return kPanelErrCallback;
        panel->callback = e->panelCallback;
    }
    for (QWidget* w : panelWidget->findChildren<QWidget*>()) {
        const QVariant idProperty = w->property("ctrlId");
        if (!idProperty.isValid()) continue;
        bool ok = false;
        const int id = idProperty.toInt(&ok);
        if (!ok || panel->controls.count(id)) return kPanelErrFile; // damaged: id not unique
        Control c;
        c.id = id;
        c.widget = w;
        c.kind = KindOf(w);
        c.callbackName = w->property("callback").toString().toStdString();
        if (!c.callbackName.empty()) {
            const CallbackEntry* e = FindCallback(c.callbackName);
            if (!e || !e->ctrlCallback) return kPanelErrCallback;
            c.callback = e->ctrlCallback;
        }
        panel->controls.emplace(id, std::move(c));
    }

    // Take the panel out of the file's root into a window of its own.
    const QSize size = panelWidget->size();
    panelWidget->setParent(nullptr);
    panelWidget->setFixedSize(size);
    auto* window = new PanelWindow(panelWidget);
    root.reset();

    const int handle = g_nextHandle++;
    panel->handle = handle;
    panel->window = window;
    panel->content = panelWidget;
    window->setProperty("evokPanelHandle", handle);
    panelWidget->setProperty("evokPanelHandle", handle);
    window->installEventFilter(Router());
    for (auto& [id, c] : panel->controls) {
        Configure(c);
        WireControl(handle, c);
    }
    Panels().emplace(handle, std::move(panel));
    return handle;
}

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p || !p->window) return kPanelErrPanel;
    if (p->window->isVisible()) {
        p->window->raise(); // already shown: bring it to the front
    } else {
        auto* window = static_cast<PanelWindow*>(p->window.data());
        window->fitToScreen();
        window->show();
        window->fitToScreen(); // again, now that the window manager's frame is known
    }
    return 0;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p || !p->window) return kPanelErrPanel;
    p->window->hide();
    return 0;
}

int DiscardPanel(int panel) {
    auto it = Panels().find(panel);
    if (it == Panels().end()) return kPanelErrPanel;
    QPointer<QWidget> window = it->second->window;
    Panels().erase(it);
    if (!window) return 0;
    window->hide();
    for (TimerControl* t : window->findChildren<TimerControl*>())
        t->setTicking(false);
    if (g_dispatchDepth > 0)
        window->deleteLater(); // a widget of it may be running the current callback
    else
        delete window.data();
    return 0;
}
