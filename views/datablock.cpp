#include "views/datablock.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "link/line.h"
#include "params/binding.h"
#include "params/paramset.h"
#include "runtime/panel.h"
#include "views/live.h"

namespace evok {

unsigned short xArray[kDataLen];

namespace {

constexpr int kCurvePoints = 128;
constexpr int kAxisX = 0;
constexpr int kAxisY = 1;
constexpr int kManual = 0;
constexpr int kPlotPoints = 5; // points only
constexpr int kPlotThinLine = 0;
constexpr int kSmallDot = 10;
constexpr int kSolid = 0;
constexpr int kDashed = 1;
constexpr int kGreen = 0x00FF00;
constexpr int kRed = 0xFF0000;
constexpr int kBlack = 0x000000;
constexpr int kWhite = 0xFFFFFF;
constexpr int kLightGrey = 0xE0E0E0;

void Plot(const unsigned short* y, int count, int plotStyle, int lineStyle, int colour) {
    PlotXY(panelHandle, PANEL_GRAPH_DATA, xArray, y, count, kTypeUShort, kTypeUShort, plotStyle,
           kSmallDot, lineStyle, 1, colour);
}

void SetCursors(unsigned short x1, unsigned short x2, const unsigned short* data) {
    SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 1, x1, data[x1]);
    SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 2, x2, data[x2]);
}

void GraphLabel(const char* text) {
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrLabelText, text);
}

// Settings shared by the normalised and the delta-T mode.
void CursorMode() {
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrGraphCursorMode, 2);
    SetCursorAttribute(panelHandle, PANEL_GRAPH_DATA, 1, kAttrCursorStyle, 4);
    SetCursorAttribute(panelHandle, PANEL_GRAPH_DATA, 2, kAttrCursorStyle, 4);
}

unsigned short Clamp1To128(unsigned short value) {
    if (value == 0) return 1;
    return value > kCurvePoints ? kCurvePoints : value;
}

void DimBlockButtons(int dimmed) {
    SetCtrlAttribute(panelHandle, PANEL_BTNRUN, kAttrDimmed, dimmed);
    SetCtrlAttribute(panelHandle, PANEL_BTNDATA, kAttrDimmed, dimmed);
    SetCtrlAttribute(panelHandle, PANEL_BTN14, kAttrDimmed, dimmed);
    SetCtrlAttribute(panelPopUp, POPUP_BTNGETDATA, kAttrDimmed, dimmed);
}

// Blocks of a source: a curve is two, the ring buffer four; an unknown source none.
int BlockCount(int source) {
    if (source == 0 || source == 1) return 2;
    return source == 2 ? 4 : 0;
}

void RingText(const char* text, int background, int colour) {
    ResetTextBox(panelPopUp, POPUP_RINGTEXT, text);
    SetCtrlAttribute(panelPopUp, POPUP_RINGTEXT, kAttrTextBgColor, background);
    SetCtrlAttribute(panelPopUp, POPUP_RINGTEXT, kAttrTextColor, colour);
}

// The measurement frame that precedes every block read: pp as it is (no parameter words).
void RequestMeasurementFrame(bool showLineOk) {
    RequestMeasurement(showLineOk);
    WaitRxFull();
    PlotRAWValues();
}

// Block reads with the receive notification off, so that the reads take their bytes themselves;
// the notification is on again after. Returns the number of blocks received.
int ReadBlocks(int source) {
    ReceiveNotificationOff();
    FlushLine();
    int received = 0;
    for (int b = 0; b < BlockCount(source); ++b) {
        order = kOrderBlock;
        if (ReadData64(kBlockOffsets[b], source, kOrderBlock) == kBlockWords) ++received;
    }
    ReceiveNotificationOn();
    return received;
}

} // namespace

int ReadDataBlocks(int source, bool showLineOk) {
    RequestMeasurementFrame(showLineOk);
    return ReadBlocks(source);
}

void PlotDATACurve(const unsigned short* data, const unsigned short* first,
                   const unsigned short* second) {
    T1val = Clamp1To128(T1val);
    T2val = Clamp1To128(T2val);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_RAW, kAttrVisible, 0);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, 0);
    SetAxisScalingMode(panelHandle, PANEL_GRAPH_DATA, kAxisX, kManual, 1.0, 128.0);
    DeleteGraphPlot(panelHandle, PANEL_GRAPH_DATA, -1, 1);

    switch (GraphSource()) {
    case 0:
        GraphLabel("RAW-values / [ADC-units]");
        SetAxisScalingMode(panelHandle, PANEL_GRAPH_DATA, kAxisY, kManual, 0.0, 1000.0);
        Plot(data, kCurvePoints, kPlotPoints, kSolid, kGreen);
        SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 1, 1.0, 1.0);
        SetGraphCursor(panelHandle, PANEL_GRAPH_DATA, 2, 1.0, 1.0);
        break;
    case 1:
        GraphLabel("NORM=1000*(A/Amax)");
        CursorMode();
        SetAxisScalingMode(panelHandle, PANEL_GRAPH_DATA, kAxisY, kManual, 0.0, 1000.0);
        Plot(first, kCurvePoints, kPlotThinLine, kDashed, kBlack);
        Plot(second, kCurvePoints, kPlotThinLine, kDashed, kBlack);
        Plot(data, kCurvePoints, kPlotPoints, kSolid, kRed);
        SetCursors(T1val, T2val, data);
        break;
    case 2:
        GraphLabel("DELTA-T = (T2-T1)");
        CursorMode();
        SetAxisScalingMode(panelHandle, PANEL_GRAPH_DATA, kAxisY, kManual, 0.0, 128.0);
        SetAxisScalingMode(panelHandle, PANEL_GRAPH_DATA, kAxisX, kManual, 0.0, 256.0);
        Plot(thdArray, kRingValues, kPlotThinLine, kDashed, kBlack);
        Plot(data, kRingValues, kPlotPoints, kSolid, kRed);
        // The entry written last sits just before the actual index; index 0 wraps to 254.
        T1val = static_cast<unsigned short>(yArrayA[kRingIndexWord] - 1);
        if (T1val > kRingValues - 1) T1val = kRingValues - 1;
        SetCursors(T1val, T1val, data);
        break;
    default:
        break;
    }
}

int CC_BTNData(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_RAW, kAttrVisible, 0);
    SetCtrlAttribute(panelHandle, PANEL_STRIPCHART_NORM, kAttrVisible, 0);
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrVisible, 1);
    RequestMeasurementFrame(false);

    int source = GraphSource();
    ReadBlocks(source);
    if (source == 1) {
        valREF1 = thd1;
        valREF2 = thd2;
    }

    if (source < 2) {
        PlotDATACurve(yArrayA, refArray1, refArray2);
    } else {
        PlotDATACurve(yArrayA, thdArray, thdArray);
    }
    SetCtrlAttribute(panelHandle, PANEL_BTNDATA, kAttrDimmed, 0);
    FlushLine();
    return 0;
}

int CC_BTNGetData(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    SetCtrlAttribute(panelHandle, PANEL_GRAPH_DATA, kAttrVisible, 1);
    DimBlockButtons(1);
    SetCtrlVal(panelHandle, PANEL_RNGGRAPHSOURCE, 2);
    RingText("DATA-TRANSFER active ...", kRed, kWhite);

    ReadDataBlocks(2, true);
    PlotDATACurve(yArrayA, thdArray, thdArray);
    SetCtrlVal(panelPopUp, POPUP_RINGINDEX, int{yArrayA[kRingIndexWord]});

    rx_flag = 0;
    FlushLine();
    graphrefresh = 0;
    DimBlockButtons(0);
    RingText("DATA-RING-BUFFER-256", kLightGrey, kBlack);
    return 0;
}

int CC_NUM_Threshold1(int, int, int event, void*, int, int) {
    if (event != kEvValueChanged) return 0;
    unsigned short first = 0, second = 0;
    GetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD1, &first);
    GetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD2, &second);
    for (int i = 0; i < kCurvePoints; ++i) {
        refArray1[i] = first;
        refArray2[i] = second;
    }
    PlotDATACurve(yArrayA, refArray1, refArray2);
    return 0;
}

int CC_NUM_Threshold2(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2) {
    return CC_NUM_Threshold1(panel, control, event, callbackData, eventData1, eventData2);
}

} // namespace evok
