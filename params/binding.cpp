#include "params/binding.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "params/paramset.h"
#include "runtime/panel.h"

namespace evok {

unsigned short refArray1[kCurveLen];
unsigned short refArray2[kCurveLen];
unsigned short thdArray[kCurveLen];

namespace {

const char* TrigModeText(unsigned short mode) {
    switch (mode) {
    case 1:
        return "INTERN-CHA-scan128";
    case 2:
        return "EXT-IN0-HIGH (cont.)";
    case 3:
        return "EXT-IN0-L/H-scan128";
    default:
        return "CONTINOUS";
    }
}

// The controller knows a single evaluation, analogue and output mode each; every value of those
// variables shows the one text.
void UpdateModeTexts() {
    ReplaceTextBoxLine(panelHandle, PANEL_TXT_TRIGMODE, 0, TrigModeText(trigmode));
    ReplaceTextBoxLine(panelHandle, PANEL_TXT_EVALMODE, 0, "NORM-A: A/Amax");
    ReplaceTextBoxLine(panelHandle, PANEL_TXT_ANAMODE, 0, "DIRECT 0 .. 10V");
    ReplaceTextBoxLine(panelHandle, PANEL_TXT_OUTMODE, 0, "(+)->OUT0; (-)->OUT1");
}

void FillCurves() {
    for (int i = 0; i < kCurveLen; ++i) {
        refArray1[i] = valREF1;
        refArray2[i] = valREF2;
        thdArray[i] = deltaT;
    }
}

} // namespace

void GetPanelValues() {
    GetCtrlVal(panelHandle, PANEL_NUM_POWERA, &powerA);
    GetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD1, &thd1);
    GetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD2, &thd2);
    GetCtrlVal(panelHandle, PANEL_NUM_DELTAT, &deltaT);
    GetCtrlVal(panelHandle, PANEL_MAXMODE, &maxmode);
    GetCtrlVal(panelHandle, PANEL_HWMODE, &hwmode);
    GetCtrlVal(panelHandle, PANEL_NUM_SDELAY, &sdelay);

    GetCtrlVal(panelPopUp, POPUP_AVERAGE, &average);
    GetCtrlVal(panelPopUp, POPUP_POLARITY, &polarity);
    GetCtrlVal(panelPopUp, POPUP_HOLD, &hold);
    GetCtrlVal(panelPopUp, POPUP_EVALMODE, &evalmode);
    GetCtrlVal(panelPopUp, POPUP_TRIGLVLA, &triglvlA);
    GetCtrlVal(panelPopUp, POPUP_TRIGMODE, &trigmode);
    GetCtrlVal(panelPopUp, POPUP_OUTMODE, &outmode);
    GetCtrlVal(panelPopUp, POPUP_ANAMODE, &anamode);

    UpdateModeTexts();
    FillCurves();
}

void SetPanelValues() {
    SetCtrlVal(panelHandle, PANEL_NUM_POWERA, int{powerA});
    SetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD1, int{thd1});
    SetCtrlVal(panelHandle, PANEL_NUM_THRESHOLD2, int{thd2});
    SetCtrlVal(panelHandle, PANEL_NUM_DELTAT, int{deltaT});
    SetCtrlVal(panelHandle, PANEL_MAXMODE, int{maxmode});
    SetCtrlVal(panelHandle, PANEL_NUM_SDELAY, int{sdelay});
    SetCtrlVal(panelHandle, PANEL_HWMODE, int{hwmode});

    SetCtrlVal(panelPopUp, POPUP_AVERAGE, int{average});
    SetCtrlVal(panelPopUp, POPUP_EVALMODE, int{evalmode});
    SetCtrlVal(panelPopUp, POPUP_TRIGLVLA, int{triglvlA});
    SetCtrlVal(panelPopUp, POPUP_POLARITY, int{polarity});
    SetCtrlVal(panelPopUp, POPUP_HOLD, int{hold});
    SetCtrlVal(panelPopUp, POPUP_OUTMODE, int{outmode});
    SetCtrlVal(panelPopUp, POPUP_TRIGMODE, int{trigmode});
    SetCtrlVal(panelPopUp, POPUP_ANAMODE, int{anamode});

    UpdateModeTexts();
    FillCurves();
}

} // namespace evok
