#include "views/live.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "runtime/recording.h"
#include "runtime/serial.h"

#include <iterator>

namespace evok {

double arrayRAW[200];
double arrayNORM[600];

namespace {

constexpr int kErrCount = -20003;
constexpr int kErrShift = -20102;
constexpr unsigned short kTickLimit = 60000;
constexpr int kBlue = 0x0000FF;
constexpr int kRed = 0xFF0000;
constexpr int kNormGroup = 6; // doubles per group of arrayNORM

void ShowStripCharts(int raw, int norm) {
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_RAW, kAttrVisible, raw);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, norm);
}

void PrepareStripChart(int control) {
    SetCtrlAttribute(panelHandle, control, kAttrPointsPerScreen, kHistoryLen + 1);
    SetCtrlAttribute(panelHandle, control, kAttrScrollMode, 1);
    SetCtrlAttribute(panelHandle, control, kAttrStripAutoscale, 1);
}

// The indicator row; the NORM chart also writes the measured delta-T into the deltaT control.
void WriteIndicators(bool withDeltaT) {
    SetCtrlVal(panelHandle, PANEL_VAL_NORMA, valNORMA);
    SetCtrlVal(panelHandle, PANEL_VAL_ADCCHA, int{adcCHA});
    SetCtrlVal(panelHandle, PANEL_VAL_AMAX, int{Amax});
    SetCtrlVal(panelHandle, PANEL_VAL_T1, int{T1val});
    SetCtrlVal(panelHandle, PANEL_VAL_T2, int{T2val});
    SetCtrlVal(panelHandle, PANEL_VAL_DT, int{DTval});
    if (withDeltaT) SetCtrlVal(panelHandle, PANEL_NUM_DELTAT, int{DTval});
    SetCtrlVal(panelHandle, PANEL_IN0, int{in0val});
    SetCtrlVal(panelHandle, PANEL_IN1, int{in1val});
}

// A row of the live recording (when one runs): the frame just taken, as mapped.
void RecordMeasurement() {
    if (!RecordingActive()) return;
    const int row[] = {valNORMA, adcCHA, Amax, T1val, T2val, DTval, btnval, in0val, in1val, indexA};
    RecordRow(row, static_cast<int>(std::size(row)));
}

// Stop while recording: a reply that has completed (taken and not yet drawn, or whole in the
// input queue) still makes its row; one still on its way does not.
void RecordCompletedReply() {
    if (!RecordingActive() || stop_flag == 1 || !AwaitedReplyComplete()) return;
    TakeMeasurementFrame();
    RecordMeasurement();
}

bool LiveStopped() {
    return stop_flag == 1;
}

// A measurement taken into the variables, drawn into the strip chart of `type` and the
// indicators, and recorded.
void DrawMeasurement() {
    if (type == 0) {
        PlotRAWValues();
    } else {
        PlotNORMValues(arrayNORM);
    }
}

} // namespace

void InitLiveRecording() {
    SetRecordColumns(kRecordColumns);
}

int GraphSource() {
    int source = 0;
    GetCtrlVal(panelHandle, PANEL_RNGGRAPHSOURCE, &source);
    return source;
}

void RequestMeasurement(bool showLineOk) {
    order = kOrderMeasure;
    SendFrame(kOrderMeasure, pp);
    if (showLineOk && nBytesW == kFrameBytes) ShowStatus(kTextLineOk);
}

WaitOutcome LiveStep(bool first, bool (*stopped)()) {
    CopyVarsToPP(kPage0);
    RequestMeasurement(first);
    return WaitReply(kLineTimeout, 0, stopped);
}

int Copy1D(const double* input, int count, double* output) {
    if (count < 1) return kErrCount;
    for (int i = 0; i < count; ++i)
        output[i] = input[i];
    return 0;
}

int Shift(const double* input, int count, int shifts, double* output) {
    if (count < 1) return kErrCount;
    if (shifts >= count || shifts <= -count) return kErrShift;
    if (shifts >= 0) {
        // Last to first, so that an in-place move reads every element before it is overwritten.
        for (int i = count - 1; i >= 0; --i)
            output[i] = i - shifts >= 0 ? input[i - shifts] : 0.0;
    } else {
        for (int i = 0; i < count; ++i)
            output[i] = i - shifts < count ? input[i - shifts] : 0.0;
    }
    return 0;
}

void FillarrayRAW(int first, int last) {
    for (int i = 0; i < 199; ++i)
        arrayRAW[i] = first;
    arrayRAW[199] = last;
}

void FillarrayNORM(int tolerance, int reference, int level) {
    for (int g = 0; g < kHistoryLen; ++g) {
        double* group = arrayNORM + kNormGroup * g;
        group[0] = reference + tolerance;
        group[1] = reference - tolerance;
        group[2] = reference;
        group[3] = level;
        group[4] = level;
    }
}

void PlotRAWValues() {
    Shift(arrayRAW, kHistoryLen, -1, arrayRAW);
    TakeMeasurementFrame();
    RecordMeasurement();
    PrepareStripChart(PANEL_STRIPCHART_RAW);
    switch (GraphSource()) {
    case 0:
        arrayRAW[kHistoryLen - 1] = adcCHA;
        SetTraceAttribute(panelHandle, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, kBlue);
        break;
    case 1:
        arrayRAW[kHistoryLen - 1] = valNORMA;
        SetTraceAttribute(panelHandle, PANEL_STRIPCHART_RAW, 1, kAttrTraceColor, kRed);
        break;
    default:
        break;
    }
    PlotStripChart(panelHandle, PANEL_STRIPCHART_RAW, arrayRAW, kHistoryLen, 0, 0, kTypeDouble);
    WriteIndicators(false);
}

void PlotNORMValues(double* history) {
    Shift(history, kHistoryLen, -1, history);
    TakeMeasurementFrame();
    RecordMeasurement();
    history[kHistoryLen - 1] = valNORMA;
    PrepareStripChart(PANEL_STRIPCHART_NORM);
    SetTraceAttribute(panelHandle, PANEL_STRIPCHART_NORM, 1, kAttrTraceColor, kRed);
    PlotStripChart(panelHandle, PANEL_STRIPCHART_NORM, history, kHistoryLen, 0, 0, kTypeDouble);
    WriteIndicators(true);
}

int CC_BTNRun(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrVisible, 0);
    SetCtrlAttribute(panelHandle, PANEL_BTNRUN, kAttrDimmed, 1);
    SetCtrlAttribute(panelHandle, PANEL_BTNDATA, kAttrDimmed, 1);
    int source = GraphSource();
    if (source == 0 || source == 1) {
        ShowStripCharts(1, 0);
        type = 0;
    }

    stop_flag = 0;
    graphrefresh = 0;
    for (bool first = true;; first = false) {
        const WaitOutcome outcome = LiveStep(first, LiveStopped);
        if (outcome == kWaitStopped) break;
        if (outcome == kWaitTimedOut) {
            ShowStatus(kTextLineTimeout);
            stop_flag = 1;
            break;
        }
        // A frame that answers a Get, a command or the ring read clicked meanwhile is no
        // measurement: it is neither drawn, shown nor recorded, and the next request goes out.
        if (outcome == kWaitReplied) DrawMeasurement();
        graphrefresh = 0;
    }

    rx_flag = 0;
    FlushLine();
    graphrefresh = 0;
    SetCtrlAttribute(panelHandle, PANEL_BTNRUN, kAttrDimmed, 0);
    FlushRecording(); // the recording's file is whole whenever the loop is not running
    return 0;
}

int CC_BTNStop(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    RecordCompletedReply();
    rx_flag = 0;
    FlushLine();
    stop_flag = 1;
    graphrefresh = 0;
    SetCtrlAttribute(panelHandle, PANEL_BTNRUN, kAttrDimmed, 0);
    SetCtrlAttribute(panelHandle, PANEL_BTNDATA, kAttrDimmed, 0);
    SetCtrlAttribute(panelHandle, PANEL_CTRL43, kAttrBlink, 0);
    FillarrayRAW(0, 0);
    FillarrayNORM(tol10Bit, ref10Bit, 0);
    return 0;
}

int CC_RNGGraphSource(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    int source = GraphSource();
    if (source == 0 || source == 1) ShowStripCharts(1, 0);
    if (source == 0) type = 0;
    return 0;
}

int CC_Timer50ms(int, int, int event, void*, int, int) {
    if (event == kEvTimerTick && ttick < kTickLimit) ++ttick;
    return 0;
}

} // namespace evok
