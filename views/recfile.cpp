#include "views/recfile.h"

#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/state.h"
#include "link/com232.h"
#include "runtime/files.h"
#include "runtime/panel.h"
#include "views/datablock.h"

#include <cstdio>

namespace evok {

namespace {

constexpr const char* kRecordDefaultName = "EVOKrecord.dat";
constexpr const char* kRecordFilter = "*.dat";
constexpr const char* kRecordTitle = "E-VOK-Series Recorder-File:";
constexpr int kSeparatorBare = 2;
constexpr int kFieldWidth = 4;
constexpr int kRawBytes = 0;
constexpr int kDecimalText = 1;
constexpr int kAppend = 1;

// Writes the record into path by three appending writes: header, index, values.
bool WriteRecord(const char* path, unsigned int index, const unsigned int* values) {
    return ArrayToFile(path, kRecordHeader, kTypeChar, StringLength(kRecordHeader), 1, 0, 0,
                       kSeparatorBare, kFieldWidth, kRawBytes, kAppend) >= 0 &&
           ArrayToFile(path, &index, kTypeUInt, 1, 1, 0, 0, kSeparatorBare, kFieldWidth,
                       kDecimalText, kAppend) >= 0 &&
           ArrayToFile(path, values, kTypeUInt, kRingValues, 1, 0, 0, kSeparatorBare, kFieldWidth,
                       kDecimalText, kAppend) >= 0;
}

} // namespace

int CC_RecordFileNameBtn(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    // The dialog's result stays here: ret is the frame wait's.
    const int chosen = FileSelectPopup(proj_dir, kRecordDefaultName, kRecordFilter, kRecordTitle, 0,
                                       0, 1, 1, 1, recfile_name, sizeof recfile_name);
    if (chosen == 1) {
        RemoveFile(recfile_name);
        SetCtrlVal(panelPopUp, POPUP_RECFILENAME, recfile_name);
    } else if (chosen == 2) {
        SetCtrlVal(panelPopUp, POPUP_RECFILENAME, recfile_name);
    }
    return 0;
}

int CC_BTNStoreData(int, int, int event, void*, int, int) {
    if (event != kEvCommit) return 0;
    SetCtrlVal(panelPopUp, POPUP_RECFILENAME, recfile_name);
    StoreRecordFile(recfile_name);
    return 0;
}

int StoreRecordFile(const char* path) {
    unsigned int values[kDataLen];
    for (int i = 0; i < kDataLen; ++i)
        values[i] = yArrayA[i];
    unsigned int index = values[kRingIndexWord];

    // The new record is written completely beside the old file and then replaces it in one
    // step: a failed store never leaves a half-written file or old data with new data appended.
    char temporary[kPathMax];
    int length = std::snprintf(temporary, sizeof temporary, "%s.part", path);
    bool stored = length > 0 && length < static_cast<int>(sizeof temporary);
    if (stored) {
        RemoveFile(temporary);
        stored = WriteRecord(temporary, index, values) && RenameFile(temporary, path) >= 0;
        if (!stored) RemoveFile(temporary);
    }
    if (stored) return 0;
    ShowStatus(kTextRecordNotStored);
    return -1;
}

} // namespace evok
