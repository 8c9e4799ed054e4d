// Frame codec.
#include "link/com232.h"

namespace evok {

int sync = 85;
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

} // namespace

int FillTxBuf(int orderCode, const unsigned short* words) {
    putWord(szWriteBuf, static_cast<unsigned>(sync));
    putWord(szWriteBuf + 2, static_cast<unsigned>(orderCode));
    for (int i = 0; i < PNUM; ++i)
        putWord(szWriteBuf + 4 + 2 * i, words[i]);
    return PNUM;
}

void FillTxBufDirect(int orderCode, unsigned short word0, unsigned short word1) {
    unsigned short words[PNUM] = {word0, word1};
    FillTxBuf(orderCode, words);
}

int GetRxBuf(int count) {
    if (count > PNUM) count = PNUM;
    order = getWord(szReadBuf + 2);
    for (int i = 0; i < count; ++i)
        pp[i] = getWord(szReadBuf + 4 + 2 * i);
    return count;
}

} // namespace evok
