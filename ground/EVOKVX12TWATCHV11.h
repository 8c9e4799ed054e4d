// Panel resources and control identifiers of EVOKVX12TWATCHV11.uir. The panel description carries
// the same numbers (ctrlId, panelResource); the tests click the controls by these numbers.
#pragma once

namespace evok {

// Panel resource numbers.
constexpr int PANEL = 1; // main panel
constexpr int POPUP = 2; // para II panel

// Main panel.
constexpr int PANEL_NUM_SDELAY = 2;
constexpr int PANEL_DROPDCOM = 3;
constexpr int PANEL_STRIPCHART_NORM = 4;
constexpr int PANEL_STRIPCHART_RAW = 5;
constexpr int PANEL_RNGGRAPHSOURCE = 6;
constexpr int PANEL_BTNTEACH = 7;
constexpr int PANEL_BTNRESET = 8;
constexpr int PANEL_BTNREFRESH = 9;
constexpr int PANEL_BTNDATA = 10;
constexpr int PANEL_BTNSEND = 11;
constexpr int PANEL_BTNSTOP = 12;
constexpr int PANEL_MAXMODE = 13;
constexpr int PANEL_BTN14 = 14; // the Get button
constexpr int PANEL_LOGO = 15;
constexpr int PANEL_TIMER50MS = 16;
constexpr int PANEL_RBTFILE = 20;
constexpr int PANEL_RBTEEPROM = 21;
constexpr int PANEL_RBTRAM = 22;
constexpr int PANEL_BTNRUN = 24;
constexpr int PANEL_HWMODE = 25;
constexpr int PANEL_VAL_NORMA = 33;
constexpr int PANEL_VAL_ADCCHA = 34;
constexpr int PANEL_VAL_AMAX = 35;
constexpr int PANEL_VAL_DT = 36;
constexpr int PANEL_VAL_T2 = 37;
constexpr int PANEL_VAL_T1 = 38;
constexpr int PANEL_HEADER = 39;
constexpr int PANEL_NUM_DELTAT = 40;
constexpr int PANEL_NUM_THRESHOLD2 = 41;
constexpr int PANEL_NUM_THRESHOLD1 = 42;
constexpr int PANEL_CTRL43 = 43; // "live" lamp beside Run and Stop
constexpr int PANEL_STATUS = 44;
constexpr int PANEL_NUM_POWERA = 45;
constexpr int PANEL_GRAPH_DATA = 46;
constexpr int PANEL_TOGBTNPARAII = 47;
constexpr int PANEL_TXT_OUTMODE = 48;
constexpr int PANEL_TXT_ANAMODE = 49;
constexpr int PANEL_TXT_EVALMODE = 50;
constexpr int PANEL_TXT_TRIGMODE = 51;
constexpr int PANEL_IN1 = 52;
constexpr int PANEL_IN0 = 53;

// Para II panel.
constexpr int POPUP_TRIGMODE = 2;
constexpr int POPUP_BTNRECFILE = 3;   // choose the record file
constexpr int POPUP_BTNSTOREDATA = 4; // store the record file
constexpr int POPUP_BTNGETDATA = 11;
constexpr int POPUP_RECFILENAME = 12;
constexpr int POPUP_AVERAGE = 13;
constexpr int POPUP_POLARITY = 14;
constexpr int POPUP_OUTMODE = 15;
constexpr int POPUP_ANAMODE = 16;
constexpr int POPUP_HOLD = 17;
constexpr int POPUP_EVALMODE = 18;
constexpr int POPUP_TRIGLVLA = 19;
constexpr int POPUP_RINGINDEX = 20;
constexpr int POPUP_RINGTEXT = 21;

} // namespace evok
