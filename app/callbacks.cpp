#include "app/callbacks.h"

#include "app/shell.h"
#include "params/pages.h"
#include "params/transfer.h"
#include "views/datablock.h"
#include "views/live.h"
#include "views/recfile.h"

namespace evok {

namespace {

constexpr CallbackEntry Panel(const char* name, PanelCallbackPtr callback) {
    return {name, callback, nullptr};
}
constexpr CallbackEntry Control(const char* name, CtrlCallbackPtr callback) {
    return {name, nullptr, callback};
}

} // namespace

const CallbackEntry kCallbackTable[] = {
    Panel("CC_PANEL", CC_PANEL),
    Panel("CC_POPUP", CC_POPUP),
    Control("CC_TOGBTNparaII", CC_TOGBTNparaII),
    Control("CC_DropDCom", CC_DropDCom),
    Control("CC_ButtonTeach", CC_ButtonTeach),
    Control("CC_ButtonReset", CC_ButtonReset),
    Control("CC_ButtonRefresh", CC_ButtonRefresh),
    Control("CC_RBTRam", CC_RBTRam),
    Control("CC_RBTEeprom", CC_RBTEeprom),
    Control("CC_RBTFile", CC_RBTFile),
    Control("CC_BTNSend", CC_BTNSend),
    Control("CC_BTNGet", CC_BTNGet),
    Control("CC_BTNRun", CC_BTNRun),
    Control("CC_BTNStop", CC_BTNStop),
    Control("CC_RNGGraphSource", CC_RNGGraphSource),
    Control("CC_Timer50ms", CC_Timer50ms),
    Control("CC_BTNData", CC_BTNData),
    Control("CC_BTNGetData", CC_BTNGetData),
    Control("CC_NUM_Threshold1", CC_NUM_Threshold1),
    Control("CC_NUM_Threshold2", CC_NUM_Threshold2),
    Control("CC_RecordFileNameBtn", CC_RecordFileNameBtn),
    Control("CC_BTNStoreData", CC_BTNStoreData),
};
const int kCallbackCount = sizeof kCallbackTable / sizeof kCallbackTable[0];

} // namespace evok
