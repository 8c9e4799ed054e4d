// The status line's texts, each written once. The operator, the companion's callers and the
// tests read them character for character, so they never change (the digit zero in
// "Unknown I/0 error", the two blanks in "ok:  SendInfoBlockToFlash!" included). The serial
// service's open errors have their texts beside their codes (ComErrorText).
#pragma once

namespace evok {

// Start-up and the COM selector.
constexpr const char* kTextInitVars = "InitVars";
constexpr const char* kTextInitComPort = "Init COM-Port ...";
// The echo check and the firmware text.
constexpr const char* kTextEchoOk = "Echo Check - Line Ok!";
constexpr const char* kTextEchoShort = "Timeout < 36 Bytes";
constexpr const char* kTextEchoWrong = "read error - not sync byte 0xAA!";
constexpr const char* kTextWaitingFirmware = "Waiting for firmware info ...";
constexpr const char* kTextFirmwareTimeout = "Timeout - reading firmware info!";
constexpr const char* kTextFirmwareError = "Error reading firmware-info!";
// A request's write, the page read and the frame wait.
constexpr const char* kTextLineOk = "Line Ok!";
constexpr const char* kTextWaitingPara = "Waiting for parameter-frame ...";
constexpr const char* kTextParaReceived = "Parameter-frame received! - Line Ok!";
constexpr const char* kTextFrameTimeout = "Timeout-RS-232...";
// Teach, reset and refresh.
constexpr const char* kTextTeachClicked = "Teach new Reference-Value ...";
constexpr const char* kTextTeached = "New setpoint value teached!";
constexpr const char* kTextCommandTimeout = "Timeout RS-232!!";
// Data blocks.
constexpr const char* kTextWaitingBlock = "Waiting for Data[64] ...";
constexpr const char* kTextBlockReceived = "Data[64] block received!";
constexpr const char* kTextBlockTimeout = "Timeout-RS-232 while reading 64 data-words!";
// The information block to flash (kept in szStatus, not shown).
constexpr const char* kTextFlashOk = "ok:  SendInfoBlockToFlash!";
constexpr const char* kTextFlashShort = "Timeout: SendInfoBlockToFlash < 36 Bytes";
constexpr const char* kTextFlashWrong = "error : unknown F801 echo at order-20!";
// Parameter transfer and the parameter file.
constexpr const char* kTextTransmit = "Transmit...";
constexpr const char* kTextTransmitPage0 = "Transmit para1 Ok!";
constexpr const char* kTextTransmitOk = "Transmit para Ok!";
constexpr const char* kTextReceive = "Receive...";
constexpr const char* kTextParaFileNotSaved = "Error writing parameter-file - not saved!";
constexpr const char* kTextParaFileNotLoaded = "Error reading parameter-file - not loaded!";
// The live loop and the record file.
constexpr const char* kTextLineTimeout = "Timeout RS232-Line!";
constexpr const char* kTextRecordNotStored = "Error writing record-file - not stored!";

} // namespace evok
