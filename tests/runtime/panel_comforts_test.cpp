// The operator's comforts on the charts and the COM selector: zoom, pan and back to the program's
// ranges; pictures and CSV files through the charts' context menu; the device behind each port
// number. None of them raises a program event.
#include "panel_test_support.h"
#include "runtime/files.h"
#include "runtime/serial.h"
#include "runtime/serial_device.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using namespace paneltest;
using namespace evok;

namespace {

struct Ranges {
    QCPRange x, y;
    bool operator==(const Ranges&) const = default;
    friend void PrintTo(const Ranges& r, std::ostream* os) {
        *os << "x " << r.x.lower << ".." << r.x.upper << ", y " << r.y.lower << ".." << r.y.upper;
    }
};

Ranges RangesOf(QWidget* chart) {
    auto* plot = qobject_cast<QCustomPlot*>(chart);
    return plot ? Ranges{plot->xAxis->range(), plot->yAxis->range()} : Ranges{};
}

QPoint PlotCentre(QWidget* chart) {
    return qobject_cast<QCustomPlot*>(chart)->axisRect()->rect().center();
}

void Wheel(QWidget* w, QPoint at, int steps) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
    Pump();
}

void Drag(QWidget* w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, w->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
    Pump();
}

// Opens the chart's context menu with the right mouse button and picks the entry.
void PickFromContextMenu(QWidget* chart, const QString& entry) {
    // What the window system sends after a right click.
    const QPoint at = PlotCentre(chart);
    QContextMenuEvent open(QContextMenuEvent::Mouse, at, chart->mapToGlobal(at));
    QApplication::sendEvent(chart, &open);
    Pump();
    QPointer<QMenu> menu;
    for (QMenu* m : chart->findChildren<QMenu*>())
        if (m->isVisible()) menu = m;
    ASSERT_NE(menu, nullptr) << "no context menu";
    QAction* action = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == entry) action = a;
    ASSERT_NE(action, nullptr) << entry.toStdString();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    Pump();
    EXPECT_TRUE(!menu || !menu->isVisible()); // the menu closed (and may be gone)
}

// The events raised since the test began, but for the 50 ms timer's ticks.
std::vector<Event> ProgramEvents() {
    std::vector<Event> out;
    for (const Event& e : recorded)
        if (e.event != kEvTimerTick) out.push_back(e);
    return out;
}

QString FileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

class PanelComforts : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        ASSERT_TRUE(dir_.isValid());
        for (int chart : {PANEL_STRIPCHART_RAW, PANEL_STRIPCHART_NORM, PANEL_GRAPH_DATA})
            SetCtrlAttribute(main, chart, kAttrVisible, 1);
        Pump();
    }
    void TearDown() override {
        while (PendingFileSelectAnswers() > 0) { // an answer a test did not use
            char path[512];
            FileSelectPopup("", "", "*", "", 0, 0, 0, 1, 1, path, sizeof path);
        }
        PanelFixture::TearDown();
    }
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

// A known plot on each of the three charts, saved through the context menu: the file holds a
// header row and exactly the plotted points, numbers as they were given.
TEST_F(PanelComforts, CsvExportGivesExactlyThePlottedPoints) {
    const double strip[7] = {0.1, -2.5, 1e-7, 3, 1000.25, 65535, 7};
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 5);
    PlotStripChart(main, PANEL_STRIPCHART_RAW, strip, 7, 0, 0, kTypeDouble);
    const double norm[2] = {12.5, 13};
    SetCtrlAttribute(main, PANEL_STRIPCHART_NORM, kAttrPointsPerScreen, 100);
    PlotStripChart(main, PANEL_STRIPCHART_NORM, norm, 2, 0, 0, kTypeDouble);
    const unsigned short x[3] = {1, 2, 3}, y[3] = {500, 65535, 0}, line[3] = {40, 40, 40};
    DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1);
    PlotXY(main, PANEL_GRAPH_DATA, x, y, 3, kTypeUShort, kTypeUShort, 5, 10, 0, 1, 0xFF0000);
    PlotXY(main, PANEL_GRAPH_DATA, x, line, 2, kTypeUShort, kTypeUShort, 0, 10, 1, 1, 0);
    Pump();

    const struct {
        int chart;
        const char* file;
        const char* proposed;
        const char* text;
    } rows[] = {
        {PANEL_STRIPCHART_RAW, "raw.csv", "live-values.csv",
         "sample,value\n0,1e-07\n1,3\n2,1000.25\n3,65535\n4,7\n"},
        {PANEL_STRIPCHART_NORM, "norm.csv", "live-normalised-values.csv",
         "sample,value\n0,12.5\n1,13\n"},
        {PANEL_GRAPH_DATA, "graph.csv", "data-block.csv",
         "plot,x,y\n1,1,500\n1,2,65535\n1,3,0\n2,1,40\n2,2,40\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        QueueFileSelectAnswer(2, Path(row.file).toStdString());
        PickFromContextMenu(CtrlWidget(main, row.chart), QStringLiteral("Save data as CSV..."));
        EXPECT_EQ(PendingFileSelectAnswers(), 0) << "no file was asked for";
        EXPECT_EQ(LastFileSelectCall().filter, "*.csv");
        EXPECT_EQ(LastFileSelectCall().fileName, row.proposed);
        EXPECT_EQ(FileText(Path(row.file)).toStdString(), row.text);
    }
    EXPECT_TRUE(ProgramEvents().empty()) << "the export raised a program event";
}

TEST_F(PanelComforts, PictureIsSavedAsPngOrPdfByItsName) {
    std::vector<double> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[static_cast<std::size_t>(i)] = i * 10.0;
    SetTraceAttribute(main, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, 0xFF0000);
    PlotStripChart(main, PANEL_STRIPCHART_RAW, ramp.data(), 100, 0, 0, kTypeDouble);
    Pump();
    QWidget* chart = CtrlWidget(main, PANEL_STRIPCHART_RAW);

    QueueFileSelectAnswer(2, Path("chart.png").toStdString());
    PickFromContextMenu(chart, QStringLiteral("Save picture..."));
    EXPECT_EQ(LastFileSelectCall().filter, "*.png;*.pdf");
    const QImage png(Path("chart.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), chart->size());
    int red = 0; // the trace is in the picture
    for (int py = 0; py < png.height(); ++py)
        for (int px = 0; px < png.width(); ++px)
            red += png.pixelColor(px, py) == QColor(0xFF, 0, 0);
    EXPECT_GT(red, 50);

    QueueFileSelectAnswer(2, Path("chart.pdf").toStdString());
    PickFromContextMenu(chart, QStringLiteral("Save picture..."));
    EXPECT_TRUE(FileText(Path("chart.pdf")).startsWith(QLatin1String("%PDF-")));
    EXPECT_TRUE(ProgramEvents().empty());
}

// A file that cannot be written is said so at the chart, not passed over in silence.
TEST_F(PanelComforts, AFailedSaveIsShownAndLeavesNoFile) {
    const QString path = Path("no/such/dir/graph.csv");
    QueueFileSelectAnswer(2, path.toStdString());
    PickFromContextMenu(CtrlWidget(main, PANEL_GRAPH_DATA), QStringLiteral("Save data as CSV..."));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(path)) << QToolTip::text().toStdString();
    QToolTip::hideText();
}

// Wheel and drag change the view; a double-click goes back to the ranges the program set, and
// the program's next plot or range setting wins over the operator's view.
TEST_F(PanelComforts, ZoomAndPanThenDoubleClickRestoresTheProgramsRanges) {
    const unsigned short x[4] = {0, 40, 80, 120}, y[4] = {100, 900, 200, 800};
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 0, 0, 0.0, 128.0);
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 1000.0);
    PlotXY(main, PANEL_GRAPH_DATA, x, y, 4, kTypeUShort, kTypeUShort, 0, 10, 0, 1, 0xFF0000);
    const double history[3] = {300, 400, 500};
    PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 3, 0, 0, kTypeDouble);
    Pump();

    // The chart, its ranges as the program set them, and the program's next plot.
    const struct {
        int chart;
        Ranges program;
        std::function<void()> plotAgain;
    } rows[] = {
        {PANEL_GRAPH_DATA,
         {{0, 128}, {0, 1000}},
         [&] {
             PlotXY(main, PANEL_GRAPH_DATA, x, y, 4, kTypeUShort, kTypeUShort, 0, 10, 0, 1, 0);
         }},
        {PANEL_GRAPH_DATA,
         {{0, 128}, {0, 1000}},
         [&] { SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 1000.0); }},
        {PANEL_STRIPCHART_RAW,
         {{0, 99}, {0, 1000}},
         [&] { PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 3, 0, 0, kTypeDouble); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chart);
        QWidget* chart = CtrlWidget(main, row.chart);
        ASSERT_EQ(RangesOf(chart), row.program);
        const QPoint centre = PlotCentre(chart);

        Wheel(chart, centre, 2);
        const Ranges zoomed = RangesOf(chart);
        EXPECT_LT(zoomed.x.size(), row.program.x.size() * 0.9);
        EXPECT_LT(zoomed.y.size(), row.program.y.size() * 0.9);
        Drag(chart, centre, centre + QPoint(40, -30));
        const Ranges panned = RangesOf(chart);
        EXPECT_LT(panned.x.lower, zoomed.x.lower); // the data moved right: the view went left
        EXPECT_LT(panned.y.lower, zoomed.y.lower); // ... and up: the view went down
        EXPECT_NEAR(panned.x.size(), zoomed.x.size(), 1e-9);

        QTest::mouseDClick(chart, Qt::LeftButton, {}, centre);
        Pump();
        EXPECT_EQ(RangesOf(chart), row.program);

        Wheel(chart, centre, -3);
        EXPECT_GT(RangesOf(chart).x.size(), row.program.x.size());
        row.plotAgain();
        Pump();
        EXPECT_EQ(RangesOf(chart), row.program);
    }
    EXPECT_TRUE(ProgramEvents().empty()) << "zoom or pan raised a program event";
}

// The COM selector names the device behind each port number, as it is when the list opens.
TEST_F(PanelComforts, PortListShowsTheDeviceBehindEachNumberWhenOpened) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string pty = ptsname(master);
    auto* ring = qobject_cast<QComboBox*>(CtrlWidget(main, PANEL_DROPDCOM));
    ASSERT_NE(ring, nullptr);
    const auto label = [&](int port) { return ring->itemText(port - 1).toStdString(); };
    const int before = Value(main, PANEL_DROPDCOM);

    struct Row {
        const char* com5; // EVOK_COM5 when the list opens; null: unset
        std::string shown;
    } rows[] = {
        {pty.c_str(), "COM5  " + pty},
        {"/tmp/evok-no-such-link", "COM5  /tmp/evok-no-such-link"},
        {pty.c_str(), "COM5  " + pty},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.com5);
        setenv("EVOK_COM5", row.com5, 1);
        ring->showPopup();
        Pump();
        EXPECT_EQ(label(5), row.shown);
        ring->hidePopup();
        Pump();
    }
    unsetenv("EVOK_COM5");
    ::close(master);
    for (int port = 1; port <= 16; ++port) {
        EXPECT_EQ(ring->itemData(port - 1).toInt(), port);
        EXPECT_EQ(label(port).rfind("COM" + std::to_string(port), 0), 0u) << label(port);
    }
    EXPECT_EQ(Value(main, PANEL_DROPDCOM), before);
    EXPECT_TRUE(ProgramEvents().empty()) << "opening the list raised a program event";
}

// The description comes from the kernel's device tree: a USB serial adapter's product name, an
// ACM modem's interface name, nothing for a built-in UART or a pseudo-terminal.
TEST(PortDescription, ComesFromTheKernelsDeviceTree) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const auto put = [&](const QString& file, const QByteArray& text) {
        QDir().mkpath(QFileInfo(root.filePath(file)).path());
        QFile f(root.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    };
    const auto link = [&](const QString& name, const QString& target) {
        QDir().mkpath(root.filePath("class/tty/" + name));
        QDir().mkpath(root.filePath(target));
        ASSERT_TRUE(
            QFile::link(root.filePath(target), root.filePath("class/tty/" + name + "/device")));
    };
    // ttyUSB0: the port, its USB interface, the USB device with product and maker.
    put("devices/usb1/1-1/product", "FT232R USB UART\n");
    put("devices/usb1/1-1/manufacturer", "FTDI\n");
    put("devices/usb1/1-1/1-1:1.0/interface", "\n");
    link("ttyUSB0", "devices/usb1/1-1/1-1:1.0/ttyUSB0");
    // ttyACM0: the interface names itself; the device has a maker only.
    put("devices/usb1/1-2/manufacturer", "Acme\n");
    put("devices/usb1/1-2/1-2:1.0/interface", "CDC Abstract Control Model (ACM)\n");
    link("ttyACM0", "devices/usb1/1-2/1-2:1.0");
    // ttyUSB1: nothing but the maker.
    put("devices/usb2/2-1/manufacturer", "Prolific Technology Inc.\n");
    link("ttyUSB1", "devices/usb2/2-1/2-1:1.0/ttyUSB1");
    // ttyS0: a built-in UART says nothing.
    link("ttyS0", "devices/platform/serial8250/ttyS0");
    // The devices the ports are opened by; one reached through a symbolic link.
    for (const char* name : {"ttyUSB0", "ttyACM0", "ttyUSB1", "ttyS0"})
        put(QStringLiteral("dev/") + name, "");
    ASSERT_TRUE(QFile::link(root.filePath("dev/ttyUSB0"), root.filePath("dev/by-id-adapter")));

    const std::pair<const char*, const char*> rows[] = {
        {"dev/ttyUSB0", "FT232R USB UART"},
        {"dev/by-id-adapter", "FT232R USB UART"},
        {"dev/ttyACM0", "CDC Abstract Control Model (ACM)"},
        {"dev/ttyUSB1", "Prolific Technology Inc."},
        {"dev/ttyS0", ""},
        {"dev/no-such-device", ""},
    };
    for (const auto& [device, description] : rows)
        EXPECT_EQ(serial_detail::describeSerialDevice(root.filePath(device).toStdString(),
                                                      root.path().toStdString()),
                  description)
            << device;
    // A pseudo-terminal on this machine.
    EXPECT_EQ(serial_detail::describeSerialDevice("/dev/ptmx"), "");
}

} // namespace
