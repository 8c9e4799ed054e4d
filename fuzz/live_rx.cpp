// Fuzz target: bytes arriving on the port while the live loop or a parameter read waits. The
// bytes enter the open port's input queue and reach the program through its own receive
// notification, frame decoder and measurement (or parameter) mapping, as on the line.
//
// Input: byte 0 chooses the path: bits 0-1 the graph source on the main panel (0 raw, 1
// normalised, 2 and 3 the ring buffer), bit 2 the graph routine (0 raw chart, 1 normalised
// chart), bit 3 a parameter read instead of the live loop, bit 4 the page read, bit 5 the live
// loop of the Run button itself (clicked, then stopped with Stop once every arrival is in) instead
// of its passes one by one. The rest is a series of arrivals, each a length byte and that many
// bytes (the last one may be cut short).
//
// Invariants: a notification comes exactly when the queue holds a full frame; the frame decoded
// is the first 36 bytes queued and nothing beyond them is read or written; the queue is emptied
// after each frame; indicators, histories and parameters hold exactly the frame's words (indexA
// within 1..128); a parameter read takes page 0 into the parameters and leaves them for page 1.
#include "fuzz/fuzz_program.h"

#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "link/com232.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "runtime/events.h"
#include "runtime/panel.h"
#include "runtime/serial.h"
#include "runtime/testing.h"
#include "views/live.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

using namespace evok;

namespace {

constexpr int kQueueBytes = 4096; // the port's input queue as the program opens it
constexpr unsigned char kCanary = 0xA5;

unsigned short wordAt(const std::uint8_t* at) {
    return static_cast<unsigned short>(at[0] * 256 + at[1]);
}

// The decoder's result must be the frame's own words.
void checkDecoded(const std::uint8_t* frame) {
    FUZZ_CHECK(order == wordAt(frame + 2), "order word %d, frame says %u", order,
               wordAt(frame + 2));
    for (int i = 0; i < PNUM; ++i)
        FUZZ_CHECK(pp[i] == wordAt(frame + 4 + 2 * i), "pp[%d] = %u, frame word %u", i, pp[i],
                   wordAt(frame + 4 + 2 * i));
    FUZZ_CHECK(std::memcmp(szReadBuf, frame, kFrameBytes) == 0,
               "the receive buffer does not hold the frame read");
    for (int i = kFrameBytes; i < kBufBytes; ++i)
        FUZZ_CHECK(szReadBuf[i] == kCanary, "receive buffer byte %d written beyond the frame", i);
}

int ctrlInt(int control) {
    int value = -1;
    FUZZ_CHECK(GetCtrlVal(panelHandle, control, &value) == 0, "indicator %d unreadable", control);
    return value;
}

// After a draw: the measurement variables, the indicators and the newest history entry hold the
// frame's words.
void checkDrawn(const std::uint8_t* frame, int source, int graphType) {
    const unsigned short w[10] = {wordAt(frame + 4),  wordAt(frame + 6),  wordAt(frame + 8),
                                  wordAt(frame + 10), wordAt(frame + 12), wordAt(frame + 14),
                                  wordAt(frame + 16), wordAt(frame + 18), wordAt(frame + 20),
                                  wordAt(frame + 22)};
    FUZZ_CHECK(valNORMA == w[0] && adcCHA == w[1] && Amax == w[2] && T1val == w[3] &&
                   T2val == w[4] && DTval == w[5] && btnval == w[6] && in0val == w[7] &&
                   in1val == w[8],
               "measurement variables differ from the frame");
    const unsigned short index = std::clamp<unsigned short>(w[9], 1, 128);
    FUZZ_CHECK(indexA == index, "indexA %u for word %u", indexA, w[9]);
    const std::array<std::pair<int, int>, 8> shown = {{{PANEL_VAL_NORMA, w[0]},
                                                       {PANEL_VAL_ADCCHA, w[1]},
                                                       {PANEL_VAL_AMAX, w[2]},
                                                       {PANEL_VAL_T1, w[3]},
                                                       {PANEL_VAL_T2, w[4]},
                                                       {PANEL_VAL_DT, w[5]},
                                                       {PANEL_IN0, w[7]},
                                                       {PANEL_IN1, w[8]}}};
    for (const auto& [control, value] : shown)
        FUZZ_CHECK(ctrlInt(control) == value, "indicator %d shows %d, frame word %d", control,
                   ctrlInt(control), value);
    if (graphType == 0) {
        if (source == 0) FUZZ_CHECK(arrayRAW[kHistoryLen - 1] == w[1], "raw history newest");
        if (source == 1) FUZZ_CHECK(arrayRAW[kHistoryLen - 1] == w[0], "raw history newest");
    } else {
        FUZZ_CHECK(arrayNORM[kHistoryLen - 1] == w[0], "normalised history newest");
        FUZZ_CHECK(ctrlInt(PANEL_NUM_DELTAT) == w[5], "delta-T control");
    }
    for (int i = 0; i < kHistoryLen; ++i) {
        FUZZ_CHECK(arrayRAW[i] >= 0 && arrayRAW[i] <= 65535, "raw history %d out of range", i);
        FUZZ_CHECK(arrayNORM[i] >= 0 && arrayNORM[i] <= 65535, "norm history %d out of range", i);
    }
}

// Splits the input into arrivals.
std::vector<std::vector<std::uint8_t>> arrivals(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t n = std::min<std::size_t>(data[pos], size - pos - 1);
        out.emplace_back(data + pos + 1, data + pos + 1 + n);
        pos += 1 + n;
    }
    return out;
}

// The live loop's passes: each arrival, then one event processing, then the drawing and the next
// request when a frame came, as CC_BTNRun does.
void liveLoop(const std::vector<std::vector<std::uint8_t>>& chunks, int source, int graphType) {
    type = graphType;
    std::vector<std::uint8_t> queued; // what the port's queue must hold
    rx_flag = 0;
    graphrefresh = 0;
    for (const auto& chunk : chunks) {
        std::memset(szReadBuf + kFrameBytes, kCanary, kBufBytes - kFrameBytes);
        const int room = kQueueBytes - static_cast<int>(queued.size());
        const int placed = InjectComInput(com, chunk.data(), static_cast<int>(chunk.size()));
        FUZZ_CHECK(placed == std::min(room, static_cast<int>(chunk.size())),
                   "%d of %zu bytes placed with room for %d", placed, chunk.size(), room);
        queued.insert(queued.end(), chunk.begin(), chunk.begin() + placed);
        ProcessSystemEvents();
        if (queued.size() >= static_cast<std::size_t>(kFrameBytes)) {
            FUZZ_CHECK(rx_flag == 1 && graphrefresh == 1, "no notification with %zu bytes queued",
                       queued.size());
            checkDecoded(queued.data());
            queued.clear(); // the notification discards what followed the frame
        } else {
            FUZZ_CHECK(rx_flag == 0 && graphrefresh == 0,
                       "a notification with only %zu bytes queued", queued.size());
        }
        FUZZ_CHECK(GetInQLen(com) == static_cast<int>(queued.size()),
                   "queue holds %d bytes, expected %zu", GetInQLen(com), queued.size());
        if (graphrefresh == 1) {
            std::array<std::uint8_t, kFrameBytes> frame;
            std::memcpy(frame.data(), szReadBuf, kFrameBytes);
            if (type == 0) {
                PlotRAWValues();
            } else {
                PlotNORMValues(arrayNORM);
            }
            graphrefresh = 0;
            checkDrawn(frame.data(), source, graphType);
        }
        if (rx_flag == 1) {
            CopyVarsToPP(0);
            RequestMeasurement(false);
            queued.clear();
        }
    }
    // The requests (at most one per 36 input bytes) fit the line's buffer until here.
    fuzz::DrainLine();
    FlushInQ(com);
    rx_flag = 0;
}

// Run clicked: each pass of the live loop takes the next arrival, and Stop is clicked once all
// are in and the last frame has been drawn. Which bytes the loop discards between a frame and
// its next request is its own business; what it draws must be a frame it read.
void runButtonLoop(const std::vector<std::vector<std::uint8_t>>& chunks) {
    const std::uint64_t drawnBefore = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW) +
                                      StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_NORM);
    std::memset(szReadBuf, 0, kFrameBytes);
    std::memset(szReadBuf + kFrameBytes, kCanary, kBufBytes - kFrameBytes);
    std::size_t next = 0;
    int passes = 0;
    bool stopped = false;
    std::function<void()> step;
    step = [&] {
        ++passes;
        if (next < chunks.size()) {
            const auto& chunk = chunks[next++];
            InjectComInput(com, chunk.data(), static_cast<int>(chunk.size()));
        } else if ((rx_flag == 1 || graphrefresh == 1) && passes < 10000) {
            // A frame is still to be drawn or answered by the next request: one more pass.
        } else {
            stopped = true;
            QTest::mouseClick(CtrlWidget(panelHandle, PANEL_BTNSTOP), Qt::LeftButton);
            return;
        }
        QMetaObject::invokeMethod(QCoreApplication::instance(), step, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(QCoreApplication::instance(), step, Qt::QueuedConnection);
    QTest::mouseClick(CtrlWidget(panelHandle, PANEL_BTNRUN), Qt::LeftButton);
    fuzz::DrainLine();

    FUZZ_CHECK(stopped && stop_flag == 1, "the live loop ended before Stop (%d passes)", passes);
    FUZZ_CHECK(rx_flag == 0 && graphrefresh == 0, "Stop left a frame pending");
    FUZZ_CHECK(GetInQLen(com) == 0, "Stop left bytes queued");
    for (int i = kFrameBytes; i < kBufBytes; ++i)
        FUZZ_CHECK(szReadBuf[i] == kCanary, "receive buffer byte %d written beyond the frame", i);
    const std::uint64_t drawn = StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_RAW) +
                                StripChartPointsReceived(panelHandle, PANEL_STRIPCHART_NORM);
    if (drawn != drawnBefore) {
        // The last frame read was drawn: the indicators show its words.
        const std::uint8_t* frame = szReadBuf;
        const std::array<std::pair<int, int>, 6> shown = {{{PANEL_VAL_NORMA, wordAt(frame + 4)},
                                                           {PANEL_VAL_ADCCHA, wordAt(frame + 6)},
                                                           {PANEL_VAL_AMAX, wordAt(frame + 8)},
                                                           {PANEL_VAL_T1, wordAt(frame + 10)},
                                                           {PANEL_VAL_T2, wordAt(frame + 12)},
                                                           {PANEL_VAL_DT, wordAt(frame + 14)}}};
        for (const auto& [control, value] : shown)
            FUZZ_CHECK(ctrlInt(control) == value, "indicator %d shows %d, last frame word %d",
                       control, ctrlInt(control), value);
        FUZZ_CHECK(indexA >= 1 && indexA <= 128, "indexA %u", indexA);
    }
}

// A parameter page read whose reply is the input's bytes, arriving while it waits.
void parameterRead(const std::vector<std::uint8_t>& bytes, unsigned short page) {
    // Fewer than a frame would only sit out the 1.5 s time limit.
    if (bytes.size() < static_cast<std::size_t>(kFrameBytes)) return;
    const std::array<unsigned short, 15> before = {powerA,   thd1,    thd2,    triglvlA, deltaT,
                                                   polarity, hold,    average, hwmode,   evalmode,
                                                   trigmode, outmode, anamode, sdelay,   maxmode};
    std::memset(szReadBuf + kFrameBytes, kCanary, kBufBytes - kFrameBytes);
    // Arrives once the request is out, while the read waits for its reply.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&bytes] { InjectComInput(com, bytes.data(), static_cast<int>(bytes.size())); },
        Qt::QueuedConnection);
    PushGET(RAM, page);
    fuzz::DrainLine();
    FUZZ_CHECK(rx_flag == 1, "no frame taken by the parameter read");
    checkDecoded(bytes.data());
    const std::array<unsigned short, 15> after = {powerA,   thd1,    thd2,    triglvlA, deltaT,
                                                  polarity, hold,    average, hwmode,   evalmode,
                                                  trigmode, outmode, anamode, sdelay,   maxmode};
    for (int i = 0; i < 15; ++i) {
        const unsigned short expected = page == 0 ? wordAt(bytes.data() + 6 + 2 * i) : before[i];
        FUZZ_CHECK(after[i] == expected, "parameter %d = %u, expected %u (page %u)", i + 1,
                   after[i], expected, page);
    }
    FUZZ_CHECK(GetInQLen(com) == 0, "bytes left queued after the read");
    // The next input starts from the start-up parameters.
    SetStartValues();
    rx_flag = 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartProgram();
    if (size < 1) return 0;
    const int source = std::min(data[0] & 3, 2);
    const int graphType = (data[0] >> 2) & 1;
    const bool paramRead = (data[0] >> 3) & 1;
    const auto page = static_cast<unsigned short>((data[0] >> 4) & 1);
    const auto chunks = arrivals(data + 1, size - 1);
    if (paramRead) {
        std::vector<std::uint8_t> all;
        for (const auto& c : chunks)
            all.insert(all.end(), c.begin(), c.end());
        if (all.size() > static_cast<std::size_t>(kQueueBytes)) all.resize(kQueueBytes);
        parameterRead(all, page);
    } else {
        FUZZ_CHECK(SetCtrlVal(panelHandle, PANEL_RNGGRAPHSOURCE, source) == 0,
                   "graph source %d not selectable", source);
        if ((data[0] >> 5) & 1) {
            type = graphType;
            runButtonLoop(chunks);
        } else {
            liveLoop(chunks, source, graphType);
        }
    }
    return 0;
}
