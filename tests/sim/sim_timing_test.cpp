// Line timing, measured in real time (these tests run alone): the simulator paces both
// directions as a 19200-baud 8N1 line (10 bits a byte), and unpaced replies come at once.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace simtest;

TEST(SimPacing, ExchangesTakeTheWireTimeOfBothFrames) {
    const struct {
        bool paced;
        Bytes request;
        std::size_t replyBytes;
    } rows[] = {{true, frame(5, {0, 1}), 36},
                {true, frame(9, {0, 2}), 128},
                {false, frame(5, {0, 1}), 36},
                {false, frame(9, {0, 2}), 128}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.replyBytes << (row.paced ? " paced" : " unpaced"));
        sim::Simulator::Options options;
        options.line.pacing = row.paced;
        sim::Simulator s(options);
        Port port(s.devicePath());
        // The fastest of several exchanges, from the write of the request to the last reply
        // byte: a busy machine can only make an exchange slower.
        double took = 1e9;
        for (int i = 0; i < 7; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const auto before = Clock::now();
            port.write(row.request);
            const Received r = port.read(row.replyBytes, 2.0);
            ASSERT_EQ(r.bytes.size(), row.replyBytes);
            took = std::min(took, sim::secondsBetween(before, r.times.back()));
        }
        const double wire = (36.0 + row.replyBytes) * 10.0 / 19200.0;
        if (row.paced) {
            EXPECT_NEAR(took, wire, 0.02 * wire);
        } else {
            EXPECT_LT(took, 0.003) << "paced it would take at least 37.5 ms";
        }
    }
}

} // namespace
