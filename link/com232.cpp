// Protocol vocabulary and frame codec.
#include "link/com232.h"

#include <cstdio>

namespace evok {

int sync = kSyncWord;
int order;
unsigned short pp[PNUM];
unsigned char szWriteBuf[kBufBytes];
unsigned char szReadBuf[kBufBytes];
int nBytesW;
int nBytesR;

namespace {

void putWord(unsigned char* at, unsigned value) {
    at[0] = static_cast<unsigned char>((value >> 8) & 0xFF);
    at[1] = static_cast<unsigned char>(value & 0xFF);
}

unsigned short getWord(const unsigned char* at) {
    return static_cast<unsigned short>(at[0] * 256 + at[1]);
}

struct OrderInfo {
    int order;
    const char* name;
    int replyBytes;
};

constexpr OrderInfo kOrders[] = {
    {kOrderWriteRam, "write RAM", 0},
    {kOrderReadRam, "read RAM", kFrameBytes},
    {kOrderWriteEeprom, "write EEPROM", 0},
    {kOrderReadEeprom, "read EEPROM", kFrameBytes},
    {kOrderEcho, "echo", kFrameBytes},
    {kOrderTeach, "teach", kFrameBytes},
    {kOrderFirmware, "firmware", kVersionReplyBytes},
    {kOrderMeasure, "measure", kFrameBytes},
    {kOrderBlock, "data block", kBlockReplyBytes},
    {kOrderReset, "reset", kFrameBytes},
    {kOrderRefresh, "refresh", kFrameBytes},
    {kOrderFlashInfo, "flash info", kFrameBytes},
};

const OrderInfo* Find(int code) {
    for (const OrderInfo& info : kOrders)
        if (info.order == code) return &info;
    return nullptr;
}

} // namespace

int ReplyBytes(int code) {
    const OrderInfo* info = Find(code);
    return info ? info->replyBytes : 0;
}

const char* OrderName(int code) {
    if (const OrderInfo* info = Find(code)) return info->name;
    static char unknown[24];
    std::snprintf(unknown, sizeof unknown, "order %d", code);
    return unknown;
}

int FillTxBuf(int orderCode, const unsigned short* words) {
    putWord(szWriteBuf, static_cast<unsigned>(sync));
    putWord(szWriteBuf + 2, static_cast<unsigned>(orderCode));
    for (int i = 0; i < PNUM; ++i)
        putWord(szWriteBuf + 4 + 2 * i, words[i]);
    return PNUM;
}

int GetRxBuf(int count) {
    if (count > PNUM) count = PNUM;
    order = getWord(szReadBuf + 2);
    for (int i = 0; i < count; ++i)
        pp[i] = getWord(szReadBuf + 4 + 2 * i);
    return count;
}

unsigned short ReplyWord(int i) {
    return getWord(szReadBuf + 2 * i);
}

unsigned short RxDataWord(int i) {
    return getWord(szReadBuf + 4 + 2 * i);
}

} // namespace evok
