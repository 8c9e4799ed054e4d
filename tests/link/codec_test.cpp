// The 36-byte frame on the wire: byte order, unsigned words, what the decoder takes as it is.
#include "link/com232.h"
#include "params/paramset.h"

#include <gtest/gtest.h>

#include <vector>

namespace evok {
namespace {

std::vector<unsigned char> Sent() {
    return {szWriteBuf, szWriteBuf + kFrameBytes};
}

void Receive(std::vector<unsigned char> bytes) {
    bytes.resize(kFrameBytes, 0);
    std::copy(bytes.begin(), bytes.end(), szReadBuf);
}

TEST(Codec, PageReadRequestIsBigEndianWithSyncAndOrder) {
    sync = 85;
    unsigned short words[PNUM] = {1};
    FillTxBuf(2, words);
    std::vector<unsigned char> expected = {0x00, 0x55, 0x00, 0x02, 0x00, 0x01};
    expected.resize(kFrameBytes, 0);
    EXPECT_EQ(Sent(), expected);
}

TEST(Codec, OrderAboveSixteenBitsSendsItsLowBitsOnly) {
    sync = 85;
    unsigned short words[PNUM] = {};
    FillTxBuf(0x12345, words);
    EXPECT_EQ(szWriteBuf[2], 0x23);
    EXPECT_EQ(szWriteBuf[3], 0x45);
}

TEST(Codec, DecoderTakesAnyHeaderAndKeepsWordsUnsigned) {
    std::vector<unsigned char> frame = {0x12, 0x34, 0x01, 0x02};
    for (int i = 0; i < PNUM; ++i) {
        frame.push_back(0xFF);
        frame.push_back(static_cast<unsigned char>(0xF0 + i));
    }
    Receive(frame);
    GetRxBuf(PNUM);
    EXPECT_EQ(order, 258);
    for (int i = 0; i < PNUM; ++i)
        EXPECT_EQ(pp[i], 0xFF00 + 0xF0 + i) << "word " << i;
}

TEST(Codec, WordsSurviveEncodeAndDecode) {
    sync = 85;
    unsigned short words[PNUM] = {0, 1, 255, 256, 32767, 32768, 65534, 65535};
    FillTxBuf(4, words);
    std::copy(szWriteBuf, szWriteBuf + kFrameBytes, szReadBuf);
    GetRxBuf(PNUM);
    EXPECT_EQ(order, 4);
    for (int i = 0; i < PNUM; ++i)
        EXPECT_EQ(pp[i], words[i]);
}

} // namespace
} // namespace evok
