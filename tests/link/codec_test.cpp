// The 36-byte frame on the wire: sync, order and every word high byte first; words unsigned; the
// decoder takes any header as it is.
#include "link/com232.h"
#include "params/paramset.h"

#include <gtest/gtest.h>

#include <vector>

namespace evok {
namespace {

TEST(Codec, RequestIsBigEndianAndWordsSurviveTheRoundTrip) {
    sync = 85;
    const unsigned short words[PNUM] = {1, 255, 256, 32767, 32768, 65535};
    FillTxBuf(0x12302, words); // only the low 16 bits of the order go out
    const std::vector<unsigned char> head(szWriteBuf, szWriteBuf + 16);
    EXPECT_EQ(head, (std::vector<unsigned char>{0x00, 0x55, 0x23, 0x02, 0x00, 0x01, 0x00, 0xFF,
                                                0x01, 0x00, 0x7F, 0xFF, 0x80, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(std::vector<unsigned char>(szWriteBuf + 16, szWriteBuf + kFrameBytes),
              std::vector<unsigned char>(20, 0));
    // Any header is taken as it came; the words stay unsigned.
    std::copy(szWriteBuf, szWriteBuf + kFrameBytes, szReadBuf);
    szReadBuf[0] = 0x12;
    GetRxBuf(PNUM);
    EXPECT_EQ(order, 0x2302);
    EXPECT_EQ(std::vector<unsigned short>(pp, pp + PNUM),
              std::vector<unsigned short>(words, words + PNUM));
}

} // namespace
} // namespace evok
