// The frame monitor as the operator opens it: every frame of the line from start-up on, byte for
// byte, in its window, in the trace file (EVOK_TRACE) and in the text it saves; pause and clear;
// the ring that keeps the newest 10,000 frames.
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/trace.h"
#include "runtime/testing.h"
#include "tests/link/peer.h"
#include "tests/support/support.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <sstream>
#include <tuple>

namespace evok {
namespace {

const std::string kTraceFile = testing::TempDir() + "trace-test.txt";

std::size_t LineCount(const std::string& text) {
    return text.empty() ? 0 : std::ranges::count(text, '\n') + 1;
}

std::string MonitorText() {
    QWidget* window = FrameMonitorWindow();
    if (!window || !window->isVisible()) return "(monitor closed)";
    return window->findChild<QPlainTextEdit*>()->toPlainText().toStdString();
}

void Press(const char* button) {
    for (QPushButton* b : FrameMonitorWindow()->findChildren<QPushButton*>())
        if (b->text() == button) QTest::mouseClick(b, Qt::LeftButton);
    op::Pump(0.3);
}

// A monitor line after its time: the head as the operator reads it, then the bytes in hex.
std::string Expected(const std::string& head, const sim::Bytes& bytes) {
    return head + " " + sim::hexString(bytes, bytes.size());
}

// The window's lines without their times, which must count up from start-up in ms.
std::vector<std::string> Untimed(const std::string& text, double upToMs) {
    std::vector<std::string> out;
    std::istringstream in(text);
    double last = 0;
    for (std::string line; std::getline(in, line);) {
        double ms = -1;
        int end = 0;
        std::sscanf(line.c_str(), "%lf ms  %n", &ms, &end);
        EXPECT_GT(end, 0) << "no time: " << line;
        EXPECT_LE(last, ms);
        last = ms;
        out.push_back(line.substr(static_cast<std::size_t>(end)));
    }
    EXPECT_LE(last, upToMs);
    return out;
}

const sim::Bytes kPage = op::Frame(2, {0, 1234, 800});
const sim::Bytes kUnsyncPage = [] {
    sim::Bytes b = op::Frame(2, {1});
    b[1] = 0x54;
    return b;
}();
const sim::Bytes kMeasure = op::Frame(8, {512, 812, 900, 30, 70, 40});
const sim::Bytes kBlock = [] {
    sim::Bytes b(128);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 7);
    return b;
}();
const sim::Bytes kCutBlock(kBlock.begin(), kBlock.begin() + 127); // one byte missing

TEST(FrameMonitor, ShowsEveryFrameFromStartUpByteForByte) {
    setenv("EVOK_TRACE", kTraceFile.c_str(), 1);
    const auto getAnswered = [](sim::ScriptedPeer& p) {
        p.expect(36, 5).reply(kPage).expect(36, 5).reply(kUnsyncPage);
    };
    const auto ringAnswered = [](sim::ScriptedPeer& p) {
        p.expect(36, 5).reply(kMeasure);
        for (int b = 0; b < 4; ++b)
            p.expect(36, 5).reply(b < 3 ? kBlock : kCutBlock);
    };
    struct Row {
        const char* how;
        Script script;
        std::function<void()> act, open;
        // Each request's line head, its reply's line head and the reply.
        std::vector<std::tuple<const char*, const char*, const sim::Bytes*>> frames;
    } rows[] = {
        {"Get, then Ctrl+M on the main panel",
         getAnswered,
         [] { op::Click(panelHandle, PANEL_BTN14); },
         [] { op::Keys(panelHandle, "Ctrl+M"); },
         {{"TX  read RAM      36              ", "RX  read RAM      36              ", &kPage},
          {"TX  read RAM      36              ", "RX  read RAM      36  unsync      ",
           &kUnsyncPage}}},
        {"ring-buffer read, then the status line's menu",
         ringAnswered,
         [] { op::Click(panelPopUp, POPUP_BTNGETDATA); },
         [] { op::PickFromContextMenu(op::Widget(panelHandle, PANEL_STATUS), "Frame monitor..."); },
         {{"TX  measure       36              ", "RX  measure       36              ", &kMeasure},
          {"TX  data block    36              ", "RX  data block   128              ", &kBlock},
          {"TX  data block    36              ", "RX  data block   128              ", &kBlock},
          {"TX  data block    36              ", "RX  data block   128              ", &kBlock},
          {"TX  data block    36              ", "RX  data block   127  short       ",
           &kCutBlock}}},
        {"nothing, then Ctrl+M on the para II panel",
         [](sim::ScriptedPeer&) {},
         [] { op::Click(panelHandle, PANEL_TOGBTNPARAII); },
         [] { op::Keys(panelPopUp, "Ctrl+M"); },
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        PeerProgram p(row.script);
        row.act();
        ASSERT_TRUE(p.peer.waitDone(5)) << p.peer.failure();
        EXPECT_EQ(MonitorText(), "(monitor closed)");
        row.open();
        op::Pump(0.2);
        const std::vector<std::string> lines = Untimed(MonitorText(), p.Ms());
        ASSERT_EQ(lines.size(), 8 + 2 * row.frames.size());
        // The start-up's frames, kept since before the window opened.
        for (int i = 0; i < 8; ++i)
            EXPECT_TRUE(
                lines[i].starts_with((i % 2 ? "RX  " : "TX  ") + std::string(i < 2   ? "echo"
                                                                             : i < 6 ? "read RAM"
                                                                                     : "firmware")))
                << lines[i];
        for (std::size_t i = 0; i < row.frames.size(); ++i) {
            const auto& [request, reply, bytes] = row.frames[i];
            EXPECT_EQ(lines[8 + 2 * i], Expected(request, p.Sent().at(i)));
            EXPECT_EQ(lines[9 + 2 * i], Expected(reply, *bytes));
        }
        // The trace file holds the same lines, each complete as soon as its frame has passed.
        EXPECT_EQ(op::FileBytes(kTraceFile), MonitorText() + "\n");
    }
    unsetenv("EVOK_TRACE");
}

TEST(FrameMonitor, PauseClearAndSave) {
    PeerProgram p([](sim::ScriptedPeer& peer) {
        for (int i = 0; i < 3; ++i)
            peer.expect(36, 5).reply(kPage).expect(36, 5).reply(kPage);
    });
    op::Keys(panelHandle, "Ctrl+M");
    Press("Pause");
    const std::string before = MonitorText();
    op::Click(panelHandle, PANEL_BTN14);
    op::Pump(0.3);
    EXPECT_EQ(MonitorText(), before); // paused: nothing new shown
    Press("Resume");
    EXPECT_EQ(LineCount(MonitorText()), LineCount(before) + 4);
    Press("Clear");
    EXPECT_EQ(MonitorText(), "");
    op::Click(panelHandle, PANEL_BTN14);
    op::Pump(0.3);
    EXPECT_EQ(LineCount(MonitorText()), 4u); // only what came after Clear
    const std::string saved = testing::TempDir() + "frames.txt";
    QueueFileSelectAnswer(2, saved);
    Press("Save as text...");
    EXPECT_EQ(op::FileBytes(saved), MonitorText() + "\n");
}

TEST(FrameTrace, KeepsTheNewestTenThousandFrames) {
    unsetenv("EVOK_TRACE");
    StartTrace();
    for (int n = 0; n < kTraceFrames + 5; ++n) {
        const unsigned char bytes[2] = {static_cast<unsigned char>(n >> 8),
                                        static_cast<unsigned char>(n)};
        TraceFrame(kTraceSent, 8, bytes, 2, 36);
    }
    char line[kTraceLineMax];
    // Frame n by its number; "": not held.
    for (auto [n, ends] : {std::pair{0, ""},
                           {4, ""},
                           {5, " 00 05"},
                           {9999, " 27 0F"},
                           {10004, " 27 14"},
                           {10005, ""}}) {
        const int length = TraceLine(static_cast<unsigned long long>(n), line, sizeof line);
        EXPECT_EQ(length > 0 && std::string(line).ends_with(std::string("short unsync") + ends),
                  *ends != 0)
            << n << ": " << (length > 0 ? line : "");
        EXPECT_EQ(length == -1, !*ends);
    }
}

} // namespace
} // namespace evok
