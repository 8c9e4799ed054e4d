// Device link: the 36-byte frame codec, port set-up with the echo check, the receive
// notification, and the request/reply transactions with the controller.
#pragma once

namespace evok {

// ---- Frame codec ----------------------------------------------------------------------------
// A frame: sync word, order word, PNUM data words; every 16-bit field high byte first.

constexpr int PNUM = 16;                  // data words per frame
constexpr int kFrameBytes = 2 * PNUM + 4; // 36
constexpr int kBufBytes = 1024;           // size of the transmit and receive buffers
constexpr int kVersionReplyBytes = 64;    // firmware text reply: 32 words, no header
constexpr int kBlockReplyBytes = 128;     // data block reply: 64 words, no header

extern int sync;                // sync word and event character, always 85
extern int order;               // order code to send, or the last received order word
extern unsigned short pp[PNUM]; // frame payload
extern unsigned char szWriteBuf[kBufBytes];
extern unsigned char szReadBuf[kBufBytes];
extern int nBytesW; // result of the last write to the port
extern int nBytesR; // result of the last direct read by a transaction

// Encodes sync, the low 16 bits of order and words[0..PNUM-1] into bytes 0-35 of szWriteBuf.
// Sends nothing. Returns PNUM.
int FillTxBuf(int order, const unsigned short* words);

// Decodes the frame in szReadBuf into order and pp[0..count-1] (count at most PNUM). The sync
// word is not checked. Returns count.
int GetRxBuf(int count);

// Writes a request frame with the given data words 0 and 1 (2-15 zero) into szWriteBuf, as the
// data-block and flash-block requests do without going through pp.
void FillTxBufDirect(int order, unsigned short word0, unsigned short word1);

// ---- Port set-up, line check, receive notification --------------------------------------------

extern int rx_flag;          // 1: a frame was decoded since the flag was cleared
extern int graphrefresh;     // 1: a frame waits to be drawn by the live loop
extern unsigned short ttick; // 50 ms ticks since the last frame
extern int ret;              // result of the last frame wait (and of the record-file dialog)
extern double tstart, tdiff; // start of the current wait, seconds elapsed since

// Opens port with the fixed line settings, installs the receive notification, proves the line
// and, on a good echo, reads both parameter pages and the firmware text. Reports on the status
// line.
void InitRS232(int port);

// The receive notification: on kComEvRxCount reads one frame, decodes it and raises rx_flag,
// graphrefresh; discards whatever followed the frame.
void RX_Receive_Function(int port, int events, void* data);

// Waits up to 1.5 s for rx_flag, processing events. Returns 1 when a frame came in time, 0 after
// the time limit (szStatus then holds "Timeout-RS-232...").
int WaitRxFull();

// Echo check (order 5): 1 when the reply's data word 0 is 0x00AA, 0 otherwise.
int CheckComLine(int port);

// Switches the receive notification on (the settings of InitRS232) or off.
void ReceiveNotificationOn();
void ReceiveNotificationOff();

// ---- Device transactions ------------------------------------------------------------------------

extern char szVersion[64]; // firmware text, at most 32 characters

// Reads parameter page `page` from RAM or EEPROM into the parameter variables (page 0 only).
// DATFILE: returns at once.
void PushGET(int target, unsigned short page);

// Reads the firmware text into szVersion. Returns the input queue length when the wait ended:
// 64 or more is success.
int GetVERSIONInfo();

// Reads one 64-word data block (offset 0, 64, 128 or 192; source 0, 1 or 2) into yArrayA.
// Returns 64 when a block was received, 0 otherwise. The receive notification must be off.
int ReadData64(int offset, int source, int order);

// Writes an information block to the controller's flash (order 20). Returns 1 (accepted), -1
// (reply too short) or -2 (wrong reply); the text is left in szStatus.
int SendInfoBlockToFlash(int first, int second);

int CC_ButtonTeach(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_ButtonReset(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_ButtonRefresh(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);

} // namespace evok
