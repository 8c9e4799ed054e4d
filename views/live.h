// Live measurement loop: Run requests a measurement frame, draws each frame that arrives into a
// strip chart and the indicators, and requests the next one at once, until Stop, the main panel
// closes, or the line stays silent for 2.0 s.
#pragma once

#include "link/line.h"
#include "runtime/panel.h"

namespace evok {

constexpr int kHistoryLen = 100;
constexpr double kLineTimeout = 2.0; // seconds without a frame after a request

// The live recording's columns after its time and seconds: the mapped measurement values.
constexpr const char* kRecordColumns = "norm_a,adc_a,amax,t1,t2,delta_t,button,in0,in1,index";

extern double arrayRAW[200];  // RAW history: entries 0..99, 99 the newest
extern double arrayNORM[600]; // NORM history: the first 100 doubles; filled in groups of six

// Names the live recording's columns, so that the strip charts can offer it.
void InitLiveRecording();

// The graph source selected on the main panel's ring: 0 raw values, 1 normalised values, 2 the
// delta-T ring buffer. Read from the control every time, never cached.
int GraphSource();

// Sends a measurement request (order 8) with pp as it is: both queues flushed, rx_flag cleared,
// the count in nBytesW; "Line Ok!" on a full write when showLineOk.
void RequestMeasurement(bool showLineOk);

// One step of the live loop, Run's and the companion's watch: a measurement request carrying the
// page-0 words ("Line Ok!" on the first one's full write), then the wait for its reply, at most
// kLineTimeout; stopped() ends the wait early. kWaitReplied: pp holds the measurement.
WaitOutcome LiveStep(bool first, bool (*stopped)());

// Array utilities; both return 0, or -20003 for a count below 1, -20102 for a shift whose
// magnitude is not below the count (output untouched then). Input and output may be one array.
int Copy1D(const double* input, int count, double* output);
int Shift(const double* input, int count, int shifts, double* output);

void FillarrayRAW(int first, int last);
void FillarrayNORM(int tolerance, int reference, int level);

// Take the frame in pp into the measurement variables, append to a history, draw, fill the
// indicators.
void PlotRAWValues();
void PlotNORMValues(double* history);

CtrlCallback CC_BTNRun;
CtrlCallback CC_BTNStop;
CtrlCallback CC_RNGGraphSource;
CtrlCallback CC_Timer50ms;

} // namespace evok
