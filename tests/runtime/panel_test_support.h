// Shared by the panel service tests: the system's own callback table with every entry replaced by
// one that records the event, and a fixture that loads both panels from the panel description
// beside the test program (loading proves every callback name in the file is bound).
#pragma once

#include "app/callbacks.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "runtime/panel.h"
#include "runtime/testing.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <span>
#include <vector>

namespace paneltest {

constexpr const char* kPanelFile = "EVOKVX12TWATCHV11.uir";

struct Event {
    int panel, control, event; // control 0: the panel
};

inline std::vector<Event> recorded;

inline int RecordCtrl(int panel, int control, int event, void*, int, int) {
    recorded.push_back({panel, control, event});
    return 0;
}
inline int RecordPanel(int panel, int event, void*, int, int) {
    return RecordCtrl(panel, 0, event, nullptr, 0, 0);
}

inline const std::vector<CallbackEntry> kRecordingTable = [] {
    std::vector<CallbackEntry> t;
    for (const CallbackEntry& e : std::span(evok::kCallbackTable, evok::kCallbackCount))
        t.push_back({e.name, e.panelCallback ? RecordPanel : nullptr,
                     e.ctrlCallback ? RecordCtrl : nullptr});
    return t;
}();

inline std::vector<int> EventsOf(int panel, int control) {
    std::vector<int> out;
    for (const Event& e : recorded)
        if (e.panel == panel && e.control == control) out.push_back(e.event);
    return out;
}

inline void Pump() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetCallbackTable(kRecordingTable.data(), static_cast<int>(kRecordingTable.size()));
        main = LoadPanel(0, kPanelFile, evok::PANEL);
        popup = LoadPanel(0, kPanelFile, evok::POPUP);
        ASSERT_TRUE(main >= 0 && popup >= 0);
        ASSERT_EQ(DisplayPanel(main), 0);
        Pump();
        recorded.clear();
    }
    void TearDown() override {
        DiscardPanel(main);
        DiscardPanel(popup);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    int main = -1, popup = -1;
};

} // namespace paneltest
