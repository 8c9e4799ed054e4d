// The serial service and the paced simulator together: an echo request answered with data word
// 0 = 0x00AA, taking the wire time of its 72 bytes at 19200 baud.
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(SerialWithSimulator, EchoIsAnsweredAtTheSpeedOfTheLine) {
    sim::Simulator simulator; // paced at 19200 baud
    setenv("EVOK_COM9", simulator.devicePath().c_str(), 1);
    ASSERT_EQ(OpenComConfig(9, "", 19200, 0, 8, 1, 4096, 4096), 0);
    ASSERT_EQ(SetComTime(9, 2.0), 0);

    sim::FrameWords words{};
    words[1] = 500;
    const sim::Bytes request = sim::encodeFrame(sim::kOrderEcho, words);
    unsigned char reply[36] = {};
    for (int attempt = 0; attempt < 3; ++attempt) {
        FlushInQ(9);
        const double start = Timer();
        ASSERT_EQ(ComWrt(9, request.data(), 36), 36);
        ASSERT_EQ(ComRd(9, reply, 36), 36);
        const double took = Timer() - start;
        // 72 bytes of 10 bits at 19200 baud: 37.5 ms. Never faster; the upper bound leaves room
        // for a loaded machine (or a sanitizer build) but still fails a line paced twice.
        EXPECT_GE(took, 0.0375 * 0.98);
        EXPECT_LT(took, 0.0375 * 1.6);
        EXPECT_EQ(reply[0], 0x00);
        EXPECT_EQ(reply[1], 0x55);
        EXPECT_EQ(reply[3], sim::kOrderEcho);
        EXPECT_EQ(reply[4], 0x00);
        EXPECT_EQ(reply[5], 0xAA);
    }
    EXPECT_EQ(CloseCom(9), 0);
}

} // namespace
