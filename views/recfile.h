// Ring-buffer record file: the header text, the actual index and the 255 ring-buffer values.
#pragma once

namespace evok {

constexpr const char* kRecordHeader = "E-VOK-VX12-RING-BUFFER-FILE: Actual index: ";

int CC_RecordFileNameBtn(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNStoreData(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);

} // namespace evok
