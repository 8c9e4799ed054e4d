#include "runtime/panel_hooks.h"

#include "runtime/panel.h"
#include "runtime/panel_internal.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>

using namespace panelsvc;

int InstallPanelShortcut(int panel, const char* keys, PanelHookFn fn) {
    Panel* p = FindPanel(panel);
    if (!p || !p->window) return kPanelErrPanel;
    auto* shortcut = new QShortcut(QKeySequence(QString::fromUtf8(keys)), p->window.data());
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, [fn] { fn(); });
    return 0;
}

int AddCtrlMenuItem(int panel, int control, const char* text, PanelHookFn fn) {
    int err = 0;
    Control* c = LookupControl(panel, control, &err);
    if (!c) return err;
    QWidget* w = c->widget.data();
    auto* action = new QAction(QString::fromUtf8(text), w);
    QObject::connect(action, &QAction::triggered, [fn] { fn(); });
    w->addAction(action);
    if (w->contextMenuPolicy() == Qt::CustomContextMenu) return 0; // menu already built here
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QWidget::customContextMenuRequested, w, [w](const QPoint& at) {
        // The control's own menu (copy, select all) first, when it has one.
        QMenu* menu = nullptr;
        if (auto* line = qobject_cast<QLineEdit*>(w))
            menu = line->createStandardContextMenu();
        else if (auto* box = qobject_cast<QPlainTextEdit*>(w))
            menu = box->createStandardContextMenu();
        else
            menu = new QMenu(w);
        if (!menu->isEmpty()) menu->addSeparator();
        menu->addActions(w->actions());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // popup(), not exec(): the event loop (and a running live loop) goes on.
        menu->popup(w->mapToGlobal(at));
    });
    return 0;
}
