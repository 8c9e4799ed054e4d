// The live recording as the operator runs it from the strip chart's menu against the paced
// simulator: one row per frame the simulator sent, in order, across Stop and Run; the file whole
// right after the close box; a write failure mid-run; a reply complete at Stop.
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "runtime/events.h"
#include "runtime/testing.h"
#include "tests/support/support.h"

#include <QLabel>
#include <QWidget>

#include <sys/resource.h>

#include <fstream>

namespace evok {
namespace {

struct Row {
    int ms = 0;         // of the day, from the time column
    double seconds = 0; // since the recording began
    std::vector<int> values;
};

const std::string kPath = testing::TempDir() + "recording-test.csv";

QWidget* Chart() {
    return op::Widget(panelHandle, PANEL_STRIPCHART_RAW);
}

void Start() {
    QueueFileSelectAnswer(2, kPath);
    op::PickFromContextMenu(Chart(), "Record frames to CSV...");
}

// A row: the local time (ISO 8601 with milliseconds), the seconds (three decimals), ten values.
bool Parse(const std::string& line, Row* r) {
    int y, mo, d, h, mi, sec, ms, end = 0;
    if (std::sscanf(line.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d,%lf%n", &y, &mo, &d, &h, &mi, &sec,
                    &ms, &r->seconds, &end) != 8 ||
        line.size() < 24 || line[23] != ',' || line[end - 4] != '.')
        return false;
    r->ms = ((h * 60 + mi) * 60 + sec) * 1000 + ms;
    std::istringstream values(line.substr(static_cast<std::size_t>(end)));
    for (int v; values.ignore(1) && values >> v;)
        r->values.push_back(v);
    return r->values.size() == 10 && values.eof();
}

// The file's rows; every line must be whole.
std::vector<Row> Rows() {
    std::ifstream in(kPath);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "time,seconds,norm_a,adc_a,amax,t1,t2,delta_t,button,in0,in1,index");
    std::vector<Row> rows;
    for (Row r; std::getline(in, line); r = Row{}) {
        EXPECT_TRUE(Parse(line, &r)) << line;
        rows.push_back(r);
    }
    EXPECT_TRUE(in.eof());
    return rows;
}

class Recording : public op::ProgramWithSim {
protected:
    bool Paced() const override { return true; }
    std::string Mark() const {
        auto* mark = Chart()->findChild<QLabel*>("recordingMark");
        return mark && mark->isVisibleTo(Chart()) ? mark->text().toStdString() : "";
    }
    void RunFor(double seconds) {
        op::At(seconds, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
        op::Click(panelHandle, PANEL_BTNRUN);
    }
    // The measurement frames the simulator sent: a twin of its model asked as often gives them.
    std::vector<std::vector<int>> Sent() const {
        sim::ControllerModel twin;
        std::vector<std::vector<int>> sent;
        for (std::size_t i = 0; i < sim_->model().measurementCount(); ++i) {
            const sim::Bytes reply = twin.handle(op::Frame(8, {}));
            std::vector<int> words;
            for (int w = 0; w < 10; ++w)
                words.push_back(op::Word(reply, w));
            sent.push_back(words);
        }
        return sent;
    }
    // The rows are the frames sent, in order, but for at most `inFlight` replies that were still
    // coming when Stop was pressed.
    void ExpectRowsAreTheFramesSent(const std::vector<Row>& rows, std::size_t inFlight) const {
        const std::vector<std::vector<int>> sent = Sent();
        std::size_t j = 0, skipped = 0;
        for (std::size_t i = 0; i < rows.size(); ++i, ++j) {
            if (j < sent.size() && rows[i].values != sent[j] && skipped < inFlight) ++j, ++skipped;
            ASSERT_LT(j, sent.size());
            ASSERT_EQ(rows[i].values, sent[j]) << "row " << i;
            // The time and seconds columns tell the same time.
            EXPECT_NEAR(rows[i].ms - rows[0].ms, 1000 * (rows[i].seconds - rows[0].seconds), 5);
        }
        EXPECT_LE(sent.size() - rows.size(), inFlight);
    }
};

// Run, Stop, then Run again until the main panel's close box: the file is whole right after it.
TEST_F(Recording, RowsAreTheFramesSentAcrossStopAndRunAndWholeAfterTheCloseBox) {
    Start();
    EXPECT_EQ(Mark(), "REC 0");
    std::string midRun;
    op::At(0.9, [&] { midRun = Mark(); });
    RunFor(1.0);
    op::Pump(0.3);
    op::At(0.6, [] { op::CloseWindow(panelHandle); });
    op::Click(panelHandle, PANEL_BTNRUN);
    const std::vector<Row> rows = Rows();   // before anything else may write
    EXPECT_EQ(Mark().substr(0, 4), "REC "); // the recording goes on
    op::PickFromContextMenu(Chart(), "Stop recording");
    EXPECT_EQ(Mark(), "");
    EXPECT_EQ(Rows().size(), rows.size());
    ExpectRowsAreTheFramesSent(rows, 2);
    EXPECT_EQ(midRun.substr(0, 4), "REC ");
    EXPECT_GT(std::stoi(midRun.substr(4)), 15);
    EXPECT_GT(rows.size(), 35u); // both runs
}

TEST_F(Recording, WriteFailureStopsItAndKeepsTheWholeRowsWritten) {
    constexpr rlimit kSmall = {2500, RLIM_INFINITY};
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    Start();
    setrlimit(RLIMIT_FSIZE, &kSmall);
    RunFor(2.5);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(Mark(), "");
    const std::string tip = Chart()->toolTip().toStdString();
    const std::size_t said = tip.find("; "), kept = tip.find(" rows kept");
    ASSERT_TRUE(tip.starts_with("Recording stopped: ") && said < kept && kept != std::string::npos)
        << tip;
    const std::vector<Row> rows = Rows();
    EXPECT_EQ(rows.size(), std::stoul(tip.substr(said + 2)));
    EXPECT_GT(rows.size(), 10u);
    const std::vector<std::vector<int>> sent = Sent();
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i].values, sent.at(i)) << "row " << i;
}

// Gets and a Teach clicked during Run take replies of their own: none of those is a measurement,
// so neither the recording nor the strip chart may hold one; both hold the controller's
// measurement replies, in order (a reply flushed away by a click is missing, nothing else).
TEST_F(Recording, HoldsOnlyMeasurementsWhileGetsAndATeachAreClicked) {
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    Start();
    for (double at : {0.5, 1.0, 1.5})
        op::At(at, [] { op::Click(panelHandle, PANEL_BTN14); });
    op::At(2.0, [] { op::Click(panelHandle, PANEL_BTNTEACH); });
    RunFor(2.6);
    op::PickFromContextMenu(Chart(), "Stop recording");
    const std::vector<Row> rows = Rows();
    ASSERT_GT(rows.size(), 40u);
    // A click flushes at most the reply then owed; the reply complete at Stop may be missing too.
    ExpectRowsAreTheFramesSent(rows, 6);
    std::vector<double> drawn; // the RAW chart's points: word 1 of each frame
    for (const Row& row : rows)
        drawn.push_back(row.values[1]);
    // The chart was handed the 100-point history last; a reply complete at Stop makes a row but
    // is not drawn.
    std::vector<double> shown = StripChartShownPoints(panelHandle, PANEL_STRIPCHART_RAW);
    shown.erase(shown.begin(), shown.end() - std::min<std::size_t>(shown.size(), 100));
    const auto chartHolds = [&](std::size_t frames) {
        std::vector<double> expected(100 - std::min<std::size_t>(frames, 100), 0.0);
        expected.insert(expected.end(), drawn.begin() + (frames - (100 - expected.size())),
                        drawn.begin() + frames);
        return shown == expected;
    };
    EXPECT_TRUE(chartHolds(drawn.size()) || chartHolds(drawn.size() - 1));
}

// Stop while recording: a reply that is complete when Stop is pressed, whether the receive
// notification has taken it already or not, makes its row.
TEST(RecordingAtStop, AReplyCompleteBeforeStopMakesItsRow) {
    for (bool takenBeforeStop : {false, true}) {
        SCOPED_TRACE(takenBeforeStop);
        sim::ScriptedPeer peer;
        op::AnswerStartUp(peer, {700, 800, 400, 900}, sim::encodeFirmwareText("PEER"));
        for (std::uint16_t i = 0; i < 3; ++i)
            peer.expect(36, 5).reply(op::Frame(8, {i, 812, 900, 30, 70, 40, 0, 0, 0, 64}));
        peer.expect(36, 5).pause(3); // the last reply comes from the test
        peer.start();
        op::Program program(peer.devicePath());
        Start();
        op::At(0.5, [&] {
            const sim::Bytes last = op::Frame(8, {3, 812, 900, 30, 70, 40, 0, 0, 0, 64});
            InjectComInput(com, last.data(), static_cast<int>(last.size()));
            if (takenBeforeStop) ProcessSystemEvents(); // the notification, not the loop
            op::Click(panelHandle, PANEL_BTNSTOP);
        });
        op::Click(panelHandle, PANEL_BTNRUN);
        op::PickFromContextMenu(Chart(), "Stop recording");
        std::vector<int> first;
        for (const Row& row : Rows())
            first.push_back(row.values.at(0));
        EXPECT_EQ(first, (std::vector<int>{0, 1, 2, 3}));
    }
}

} // namespace
} // namespace evok
