// The line endpoint's hang-ups: on a call, after a number of replies, after a time.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

namespace {

using namespace simtest;

sim::Simulator::Options Unpaced() {
    sim::Simulator::Options o;
    o.line.pacing = false;
    return o;
}

Bytes Echo(std::uint16_t marker, std::uint16_t word0 = 0) {
    return frame(5, {word0, marker, 2, 3});
}

TEST(SimLine, HangUpEndsTheLine) {
    const struct {
        unsigned afterReplies;
        double afterSeconds; // neither: hung up by a call
    } rows[] = {{0, 0}, {2, 0}, {0, 0.3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.afterReplies << " replies, " << row.afterSeconds << " s");
        auto o = Unpaced();
        o.line.faults.hangUpAfterReplies = row.afterReplies;
        o.line.faults.hangUpAfterSeconds = row.afterSeconds;
        sim::Simulator s(o);
        Port port(s.devicePath());
        const auto t0 = Clock::now();
        for (std::uint16_t i = 0; i < std::max(1u, row.afterReplies); ++i) {
            port.write(Echo(i));
            EXPECT_EQ(port.read(36, 1.0).bytes, Echo(i, 0xAA));
        }
        if (row.afterReplies == 0 && row.afterSeconds == 0) s.line().hangUpNow();
        // The next read ends with the hang-up, without a request being needed.
        EXPECT_TRUE(port.read(1, 2.0).hungUp);
        const double t = sim::secondsBetween(t0, Clock::now());
        EXPECT_GE(t, row.afterSeconds - 0.02);
        EXPECT_LT(t, row.afterSeconds + 0.5);
        EXPECT_FALSE(port.write(Echo(9))) << "writes fail on a hung-up line";
    }
}

} // namespace
