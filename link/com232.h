// Device link: the protocol's names, the 36-byte frame codec, the line (the one client of the
// serial service), port set-up with the echo check, the receive notification and the direct-read
// transactions with the controller.
#pragma once

#include "link/line.h"

namespace evok {

// ---- Protocol vocabulary ----------------------------------------------------------------------
// A frame: sync word, order word, PNUM data words; every 16-bit field high byte first. Two replies
// come without header: the firmware text (64 bytes) and a data block (128 bytes).

constexpr int PNUM = 16;                  // data words per frame
constexpr int kFrameBytes = 2 * PNUM + 4; // 36
constexpr int kBufBytes = 1024;           // size of the transmit and receive buffers
constexpr int kVersionReplyBytes = 64;    // firmware text reply: 32 words, no header
constexpr int kBlockReplyBytes = 128;     // data block reply: 64 words, no header
constexpr int kSyncWord = 85;             // 0x0055: first word of every request
constexpr int kAckWord = 0x00AA;          // data word 0 of a good echo and flash reply
constexpr unsigned short kPage0 = 0;      // parameter page selectors (data word 0)
constexpr unsigned short kPage1 = 1;
constexpr int kDataLen = 256;                             // words of the data-block buffer
constexpr int kBlockWords = 64;                           // words of one data block
inline constexpr int kBlockOffsets[] = {0, 64, 128, 192}; // the four blocks of the buffer
constexpr int eventMask = 0x8006; // receive count, event character, transmit queue empty
constexpr int kOrderAtStart = 1;  // what order holds after start-up

// Order codes.
enum Order : int {
    kOrderWriteRam = 1,
    kOrderReadRam = 2,
    kOrderWriteEeprom = 3,
    kOrderReadEeprom = 4,
    kOrderEcho = 5,
    kOrderTeach = 6,
    kOrderFirmware = 7,
    kOrderMeasure = 8,
    kOrderBlock = 9,
    kOrderReset = 10,
    kOrderRefresh = 11,
    kOrderFlashInfo = 20,
};

// The bytes of the reply to order (36, 64 or 128), 0 for an order that gets no reply read.
int ReplyBytes(int order);

// A short name of the order ("read RAM", "measure" ...), "order N" for a code the program never
// sends.
const char* OrderName(int order);

// ---- Frame codec ------------------------------------------------------------------------------

extern int sync;                // sync word and event character, always kSyncWord
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

// Big-endian word i of a reply without header in szReadBuf.
unsigned short ReplyWord(int i);

// Data word i of the frame in szReadBuf, without decoding it into pp.
unsigned short RxDataWord(int i);

// ---- Shared link state ------------------------------------------------------------------------

extern int rx_flag;          // 1: a frame was decoded since the flag was cleared
extern int graphrefresh;     // 1: a frame waits to be drawn by the live loop
extern unsigned short ttick; // 50 ms ticks since the last frame
extern int ret;              // result of the last frame wait: 1 a frame came, 0 timed out
extern double tstart, tdiff; // start of the current wait, seconds elapsed since (WaitReply)
extern char szVersion[64];   // firmware text, at most 32 characters
// Data blocks land here at their offset; after a ring-buffer read words 0-254 are the ring's
// values and word 255 its actual index.
extern unsigned short yArrayA[kDataLen];

// ---- Port set-up, line check, receive notification --------------------------------------------

// Opens port with the fixed line settings (19200 8N1, 4096-byte queues, 2.0 s time limit, no
// handshake) and installs the receive notification. On failure copies the open error's text into
// szStatus, shows it and returns the negative code; otherwise returns 0.
int OpenLine(int port);

// The receive notification: on kComEvRxCount reads one frame, decodes it and raises rx_flag,
// graphrefresh; discards whatever followed the frame.
void RX_Receive_Function(int port, int events, void* data);

// The frame wait: up to 1.5 s for a frame, processing events (WaitReply). kWaitReplied when the
// reply to the request written last came, kWaitTakenByOther when the frame answered a request
// made during the wait, kWaitTimedOut (0) after the limit: szStatus then holds kTextFrameTimeout.
WaitOutcome WaitRxFull();

// Echo check: sends pp as it is (the caller fills it with the page-0 words) with order 5, reads
// the reply directly after 0.05 s. 1 when the reply's data word 0 is kAckWord, 0 otherwise; the
// outcome is shown on the status line.
int CheckComLine(int port);

// Switches the receive notification on (the settings of the port set-up) or off.
void ReceiveNotificationOn();
void ReceiveNotificationOff();

// ---- Direct-read transactions -----------------------------------------------------------------

// Reads the firmware text into szVersion. Returns the input queue length when the wait ended:
// 64 or more is success.
int GetVERSIONInfo();

// Reads one 64-word data block (offset 0, 64, 128 or 192; source 0, 1 or 2) into yArrayA.
// Returns 64 when a block was received, 0 otherwise. The receive notification must be off.
int ReadData64(int offset, int source, int order);

// Writes an information block to the controller's flash (order 20). Returns 1 (accepted), -1
// (reply too short) or -2 (wrong reply); the text is left in szStatus.
int SendInfoBlockToFlash(int first, int second);

} // namespace evok
