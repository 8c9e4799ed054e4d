// Shared by the panel service tests: a callback table under the system's real callback names
// whose entries record every event, a fixture that loads both panels from the panel description
// beside the test program, and small helpers.
#pragma once

#include "app/EVOKVX12TWATCHV11.h"
#include "runtime/panel.h"
#include "runtime/testing.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace paneltest {

constexpr const char* kPanelFile = "EVOKVX12TWATCHV11.uir";

struct Event {
    int panel;
    int control; // 0 for panel callbacks
    int event;
    bool operator==(const Event&) const = default;
};

inline std::vector<Event>& Log() {
    static std::vector<Event> log;
    return log;
}

// Runs inside a callback, after the event has been logged (nested loops, discards, ...).
inline std::function<void(const Event&)>& OnEvent() {
    static std::function<void(const Event&)> hook;
    return hook;
}

inline int RecordCtrl(int panel, int control, int event, void*, int, int) {
    Log().push_back({panel, control, event});
    if (OnEvent()) OnEvent()(Event{panel, control, event});
    return 0;
}

inline int RecordPanel(int panel, int event, void*, int, int) {
    Log().push_back({panel, 0, event});
    if (OnEvent()) OnEvent()(Event{panel, 0, event});
    return 0;
}

// Every callback name the system binds, each recording.
inline const std::vector<CallbackEntry>& RecordingTable() {
    static const std::vector<CallbackEntry> table = [] {
        std::vector<CallbackEntry> t{{"CC_PANEL", RecordPanel, nullptr},
                                     {"CC_POPUP", RecordPanel, nullptr}};
        for (const char* name : {"CC_DropDCom",
                                 "CC_RNGGraphSource",
                                 "CC_BTNData",
                                 "CC_RBTFile",
                                 "CC_RBTEeprom",
                                 "CC_RBTRam",
                                 "CC_BTNRun",
                                 "CC_NUM_Threshold2",
                                 "CC_NUM_Threshold1",
                                 "CC_TOGBTNparaII",
                                 "CC_BTNGetData",
                                 "CC_ButtonTeach",
                                 "CC_ButtonReset",
                                 "CC_ButtonRefresh",
                                 "CC_BTNSend",
                                 "CC_BTNGet",
                                 "CC_BTNStop",
                                 "CC_Timer50ms",
                                 "CC_RecordFileNameBtn",
                                 "CC_BTNStoreData"})
            t.push_back({name, nullptr, RecordCtrl});
        return t;
    }();
    return table;
}

// The events of one control (the 50 ms timer ticks beside every test).
inline std::vector<int> EventsOf(int panel, int control) {
    std::vector<int> out;
    for (const Event& e : Log())
        if (e.panel == panel && e.control == control) out.push_back(e.event);
    return out;
}

inline void Pump(int times = 3) {
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
}

// Panels discarded inside callbacks are deleted later; let that happen between tests.
inline void FlushDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetCallbackTable(RecordingTable().data(), static_cast<int>(RecordingTable().size()));
        main = LoadPanel(0, kPanelFile, evok::PANEL);
        popup = LoadPanel(0, kPanelFile, evok::POPUP);
        ASSERT_GE(main, 0);
        ASSERT_GE(popup, 0);
        ASSERT_EQ(DisplayPanel(main), 0);
        Pump();
        Log().clear();
    }
    void TearDown() override {
        OnEvent() = nullptr;
        DiscardPanel(main);
        DiscardPanel(popup);
        FlushDeferredDeletes();
        Log().clear();
    }
    QWidget* Ctrl(int panel, int id) {
        QWidget* w = CtrlWidget(panel, id);
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    int main = -1;
    int popup = -1;
};

} // namespace paneltest
