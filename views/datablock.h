// Data-block view: 64-word blocks from the controller (raw curve, normalised curve, delta-T ring
// buffer) drawn in the XY graph with reference or threshold lines and two cursors.
#pragma once

#include "runtime/panel.h"

#include "link/com232.h"

namespace evok {

constexpr int kRingValues = 255;    // ring-buffer values in words 0..254
constexpr int kRingIndexWord = 255; // the ring buffer's actual index

extern unsigned short xArray[kDataLen]; // x values: word i holds i

// Redraws the XY graph in the mode of the current graph source.
void PlotDATACurve(const unsigned short* data, const unsigned short* first,
                   const unsigned short* second);

// The read of the Data and ring-buffer buttons: a measurement frame (drawn and taken into the
// measurement variables), then the blocks of source (0 raw and 1 normalised curve: two, 2 the
// ring buffer: four) into yArrayA with the receive notification off, on again after. Returns the
// number of blocks received.
int ReadDataBlocks(int source, bool showLineOk);

CtrlCallback CC_BTNData;
CtrlCallback CC_BTNGetData;
CtrlCallback CC_NUM_Threshold1;
CtrlCallback CC_NUM_Threshold2;

} // namespace evok
