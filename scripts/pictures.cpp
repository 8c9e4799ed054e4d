// The README's two pictures of the operator program against the simulator, made offscreen and
// the same on every run: the live view while it runs, after a fixed number of frames (the
// simulator's signal is seeded, and its line falls silent after the last of them), and the
// normalised data-block graph with its reference lines. scripts/pictures builds and runs it.
//
//   evok-pictures DIR     writes DIR/screenshot-live.png and DIR/screenshot-graph.png
#include "ground/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/testing.h"
#include "tests/harness/operator.h"
#include "tests/harness/program.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace evok;

constexpr std::uint64_t kLiveFrames = 120;

bool Save(const std::string& path) {
    op::Pump(0.2);
    if (PanelWidget(panelHandle)->grab().save(QString::fromStdString(path))) {
        std::printf("pictures: wrote %s\n", path.c_str());
        return true;
    }
    std::fprintf(stderr, "pictures: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    op::UseOffscreenPlatform();
    QApplication app(argc, argv);
    // A fixed device name, shown in the COM ring. Paced: the last reply is still on its way when
    // the line falls silent.
    const std::string device = "/tmp/evok-pictures-ttyVX12";
    std::filesystem::remove(device);
    op::PluggableLine line(device, true);
    sim::Simulator& sim = line.sim();
    op::Program program(device);
    if (program.startResult() != 0 || op::Status() != sim.model().firmware()) {
        std::fprintf(stderr, "pictures: the program did not start on the simulator\n");
        return 1;
    }
    // Live view: the raw values of the first frames, pictured while the loop waits for the next.
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 0);
    bool saved = false;
    QTimer watch;
    watch.callOnTimeout([&] {
        if (sim.model().measurementCount() < kLiveFrames) return;
        watch.stop();
        sim.line().setMuted(true);
        saved = Save(dir + "/screenshot-live.png");
        op::Click(panelHandle, PANEL_BTNSTOP);
    });
    watch.start(0);
    op::Click(panelHandle, PANEL_BTNRUN);
    sim.line().setMuted(false);
    if (!saved) return 1;

    // The normalised curve; the operator confirms a threshold, and the reference lines follow.
    op::SelectRing(panelHandle, PANEL_RNGGRAPHSOURCE, 1);
    op::Click(panelHandle, PANEL_BTNDATA);
    op::EnterNumber(panelHandle, PANEL_NUM_THRESHOLD1, thd1 + 1);
    op::EnterNumber(panelHandle, PANEL_NUM_THRESHOLD1, thd1);
    return Save(dir + "/screenshot-graph.png") ? 0 : 1;
}
