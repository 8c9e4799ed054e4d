// The operator's comforts on the charts and the COM selector: zoom, pan and back to the program's
// ranges; pictures and CSV files through the charts' context menu; the device behind each port
// number. None of them raises a program event.
#include "panel_test_support.h"
#include "runtime/files.h"
#include "runtime/serial.h"
#include "runtime/serial_device.h"
#include "sim/pty.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <functional>

using namespace paneltest;
using namespace evok;

namespace {

// x lower, x upper, y lower, y upper.
std::vector<double> RangesOf(QWidget* chart) {
    auto* plot = qobject_cast<QCustomPlot*>(chart);
    const QCPRange x = plot->xAxis->range(), y = plot->yAxis->range();
    return {x.lower, x.upper, y.lower, y.upper};
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

// Known plots on the three charts, saved through the context menu: a CSV file holds a header row
// and exactly the plotted points, numbers as they were given; a picture is a PNG of the chart's
// size showing the trace, or a PDF by its name; a file that cannot be written is said so at the
// chart. Rows: chart, menu entry, file, the dialog's proposed name, what the file must hold.
TEST_F(PanelComforts, ContextMenuSavesDataAndPictures) {
    const double strip[7] = {0.1, -2.5, 1e-7, 3, 1000.25, 65535, 7};
    SetTraceAttribute(main, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, 0xFF0000);
    SetCtrlAttribute(main, PANEL_STRIPCHART_RAW, kAttrPointsPerScreen, 5);
    PlotStripChart(main, PANEL_STRIPCHART_RAW, strip, 7, 0, 0, kTypeDouble);
    const double norm[2] = {12.5, 13};
    PlotStripChart(main, PANEL_STRIPCHART_NORM, norm, 2, 0, 0, kTypeDouble);
    const unsigned short x[3] = {1, 2, 3}, y[3] = {500, 65535, 0}, line[3] = {40, 40, 40};
    DeleteGraphPlot(main, PANEL_GRAPH_DATA, -1, 1);
    PlotXY(main, PANEL_GRAPH_DATA, x, y, 3, kTypeUShort, kTypeUShort, 5, 10, 0, 1, 0xFF0000);
    PlotXY(main, PANEL_GRAPH_DATA, x, line, 2, kTypeUShort, kTypeUShort, 0, 10, 1, 1, 0);
    Pump();
    const QString csv = QStringLiteral("Save data as CSV..."),
                  pic = QStringLiteral("Save picture...");
    const struct {
        int chart;
        QString entry;
        const char *file, *proposed, *text; // text null: a picture or no file
    } rows[] = {
        {PANEL_STRIPCHART_RAW, csv, "raw.csv", "live-values.csv",
         "sample,value\n0,1e-07\n1,3\n2,1000.25\n3,65535\n4,7\n"},
        {PANEL_STRIPCHART_NORM, csv, "norm.csv", "live-normalised-values.csv",
         "sample,value\n0,12.5\n1,13\n"},
        {PANEL_GRAPH_DATA, csv, "graph.csv", "data-block.csv",
         "plot,x,y\n1,1,500\n1,2,65535\n1,3,0\n2,1,40\n2,2,40\n"},
        {PANEL_STRIPCHART_RAW, pic, "chart.png", "live-values.png", nullptr},
        {PANEL_STRIPCHART_RAW, pic, "chart.pdf", "live-values.png", nullptr},
        {PANEL_GRAPH_DATA, csv, "no/such/dir/graph.csv", "data-block.csv", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        QWidget* chart = CtrlWidget(main, row.chart);
        QueueFileSelectAnswer(2, Path(row.file).toStdString());
        PickFromContextMenu(chart, row.entry);
        EXPECT_EQ(PendingFileSelectAnswers(), 0) << "no file was asked for";
        EXPECT_EQ(LastFileSelectCall().filter, row.entry == csv ? "*.csv" : "*.png;*.pdf");
        EXPECT_EQ(LastFileSelectCall().fileName, row.proposed);
        const QString text = FileText(Path(row.file));
        if (row.text) {
            EXPECT_EQ(text.toStdString(), row.text);
        } else if (QString(row.file).endsWith(".png")) {
            const QImage png(Path(row.file));
            EXPECT_EQ(png.size(), chart->size());
            int red = 0; // the trace is in the picture
            for (int py = 0; py < png.height(); ++py)
                for (int px = 0; px < png.width(); ++px)
                    red += png.pixelColor(px, py) == QColor(0xFF, 0, 0);
            EXPECT_GT(red, 20);
        } else if (QString(row.file).endsWith(".pdf")) {
            EXPECT_TRUE(text.startsWith(QLatin1String("%PDF-")));
        } else {
            EXPECT_EQ(text, "<none>");
            EXPECT_TRUE(QToolTip::isVisible() && QToolTip::text().contains(Path(row.file)));
            QToolTip::hideText();
        }
    }
    EXPECT_TRUE(ProgramEvents().empty()) << "saving raised a program event";
}

// Wheel and drag change the view; a double-click goes back to the ranges the program set, and
// the program's next plot or range setting wins over the operator's view.
TEST_F(PanelComforts, ZoomAndPanThenDoubleClickRestoresTheProgramsRanges) {
    const unsigned short x[4] = {0, 40, 80, 120}, y[4] = {100, 900, 200, 800};
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 0, 0, 0.0, 128.0);
    SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 1000.0);
    const double history[3] = {300, 400, 500};
    // The chart, its ranges as the program set them, and the program's next plot.
    const struct {
        int chart;
        std::vector<double> program;
        std::function<void()> plot;
    } rows[] = {
        {PANEL_GRAPH_DATA,
         {0, 128, 0, 1000},
         [&] { PlotXY(main, PANEL_GRAPH_DATA, x, y, 4, 6, 6, 0, 10, 0, 1, 0); }},
        {PANEL_GRAPH_DATA,
         {0, 128, 0, 1000},
         [&] { SetAxisScalingMode(main, PANEL_GRAPH_DATA, 1, 0, 0.0, 1000.0); }},
        {PANEL_STRIPCHART_RAW,
         {0, 99, 0, 1000},
         [&] { PlotStripChart(main, PANEL_STRIPCHART_RAW, history, 3, 0, 0, kTypeDouble); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chart);
        row.plot();
        Pump();
        QWidget* chart = CtrlWidget(main, row.chart);
        ASSERT_EQ(RangesOf(chart), row.program);
        const QPoint centre = PlotCentre(chart);
        Wheel(chart, centre, 2);
        const std::vector<double> zoomed = RangesOf(chart);
        EXPECT_LT(zoomed[1] - zoomed[0], (row.program[1] - row.program[0]) * 0.9);
        EXPECT_LT(zoomed[3] - zoomed[2], (row.program[3] - row.program[2]) * 0.9);
        Drag(chart, centre, centre + QPoint(40, -30));
        const std::vector<double> panned = RangesOf(chart);
        EXPECT_LT(panned[0], zoomed[0]); // the data moved right: the view went left
        EXPECT_LT(panned[2], zoomed[2]); // ... and up: the view went down
        QTest::mouseDClick(chart, Qt::LeftButton, {}, centre);
        Pump();
        EXPECT_EQ(RangesOf(chart), row.program);
        Wheel(chart, centre, -3);
        EXPECT_NE(RangesOf(chart), row.program);
        row.plot();
        Pump();
        EXPECT_EQ(RangesOf(chart), row.program);
    }
    EXPECT_TRUE(ProgramEvents().empty()) << "zoom or pan raised a program event";
}

// The COM selector names the device behind each port number, as it is when the list opens.
TEST_F(PanelComforts, PortListShowsTheDeviceBehindEachNumberWhenOpened) {
    sim::Pty pty;
    auto* ring = qobject_cast<QComboBox*>(CtrlWidget(main, PANEL_DROPDCOM));
    ASSERT_NE(ring, nullptr);
    const int before = Value(main, PANEL_DROPDCOM);
    for (const std::string& com5 : {pty.slavePath(), std::string("/tmp/evok-no-such-link")}) {
        setenv("EVOK_COM5", com5.c_str(), 1);
        ring->showPopup();
        Pump();
        EXPECT_EQ(ring->itemText(4).toStdString(), "COM5  " + com5);
        ring->hidePopup();
        Pump();
    }
    unsetenv("EVOK_COM5");
    for (int port = 1; port <= 16; ++port) {
        EXPECT_EQ(ring->itemData(port - 1).toInt(), port);
        EXPECT_TRUE(ring->itemText(port - 1).startsWith(QStringLiteral("COM%1").arg(port)));
    }
    EXPECT_EQ(Value(main, PANEL_DROPDCOM), before);
    EXPECT_TRUE(ProgramEvents().empty()) << "opening the list raised a program event";
}

// The description comes from the kernel's device tree: a USB serial adapter's product name (also
// through a symbolic link), an ACM modem's interface name, a maker's name when that is all there
// is, nothing for a built-in UART, a missing device or a pseudo-terminal. Rows: device, the
// node its class/tty entry links to, files in the tree, the description.
TEST(PortDescription, ComesFromTheKernelsDeviceTree) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const auto put = [&](const QString& file, const QByteArray& text) {
        QDir().mkpath(QFileInfo(root.filePath(file)).path());
        QFile f(root.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    };
    const struct {
        const char *device, *node;
        std::vector<std::pair<const char*, QByteArray>> files;
        const char* description;
    } rows[] = {
        {"ttyUSB0",
         "usb1/1-1/1-1:1.0/ttyUSB0",
         {{"usb1/1-1/product", "FT232R USB UART\n"},
          {"usb1/1-1/manufacturer", "FTDI\n"},
          {"usb1/1-1/1-1:1.0/interface", "\n"}},
         "FT232R USB UART"},
        {"ttyACM0",
         "usb1/1-2/1-2:1.0",
         {{"usb1/1-2/manufacturer", "Acme\n"},
          {"usb1/1-2/1-2:1.0/interface", "CDC Abstract Control Model (ACM)\n"}},
         "CDC Abstract Control Model (ACM)"},
        {"ttyUSB1",
         "usb2/2-1/2-1:1.0/ttyUSB1",
         {{"usb2/2-1/manufacturer", "Prolific Technology Inc.\n"}},
         "Prolific Technology Inc."},
        {"ttyS0", "platform/serial8250/ttyS0", {}, ""},
    };
    for (const auto& row : rows) {
        for (const auto& [file, text] : row.files)
            put(QStringLiteral("devices/") + file, text);
        put(QStringLiteral("dev/") + row.device, "");
        const QString entry = root.filePath(QStringLiteral("class/tty/") + row.device);
        QDir().mkpath(entry);
        QDir().mkpath(root.filePath(QStringLiteral("devices/") + row.node));
        ASSERT_TRUE(
            QFile::link(root.filePath(QStringLiteral("devices/") + row.node), entry + "/device"));
    }
    ASSERT_TRUE(QFile::link(root.filePath("dev/ttyUSB0"), root.filePath("dev/by-id-adapter")));
    const auto described = [&](const char* device) {
        return serial_detail::describeSerialDevice(
            root.filePath(QStringLiteral("dev/") + device).toStdString(),
            root.path().toStdString());
    };
    for (const auto& row : rows)
        EXPECT_EQ(described(row.device), row.description) << row.device;
    EXPECT_EQ(described("by-id-adapter"), "FT232R USB UART");
    EXPECT_EQ(described("no-such-device"), "");
    EXPECT_EQ(serial_detail::describeSerialDevice("/dev/ptmx"), ""); // a pseudo-terminal
}

} // namespace
