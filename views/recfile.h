// Ring-buffer record file: the header text, the actual index and the 255 ring-buffer values.
#pragma once

namespace evok {

constexpr const char* kRecordHeader = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";

int CC_RecordFileNameBtn(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNStoreData(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);

// Writes the ring buffer in yArrayA (index and 255 values) as a record file to path, replacing it
// whole. Returns 0, or -1 after showing that it could not be stored.
int StoreRecordFile(const char* path);

} // namespace evok
