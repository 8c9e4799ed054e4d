// Ring-buffer record file: the header text, the actual index and the 255 ring-buffer values.
#pragma once

#include "runtime/panel.h"

namespace evok {

constexpr const char* kRecordHeader = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";

CtrlCallback CC_RecordFileNameBtn;
CtrlCallback CC_BTNStoreData;

// Writes the ring buffer in yArrayA (index and 255 values) as a record file to path, replacing it
// whole. Returns 0, or -1 after showing that it could not be stored.
int StoreRecordFile(const char* path);

} // namespace evok
