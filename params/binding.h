// Panel binding: the parameter variables to and from the controls of both panels, the four
// mode texts and the reference and threshold curves.
#pragma once

namespace evok {

constexpr int kCurveLen = 256;

// Reference lines of the normalised data view and the threshold line of the delta-T view.
extern unsigned short refArray1[kCurveLen];
extern unsigned short refArray2[kCurveLen];
extern unsigned short thdArray[kCurveLen];

// Reads both panels into the parameter variables, then refreshes the mode texts and curves.
void GetPanelValues();

// Writes the parameter variables into both panels, then refreshes the mode texts and curves.
void SetPanelValues();

} // namespace evok
