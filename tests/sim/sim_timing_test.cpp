// Line timing, measured in real time (these tests run alone): the simulator paces both
// directions as a 19200-baud 8N1 line (10 bits a byte), unpaced replies come at once, and the
// scripted peer keeps its times.
#include "serial_client.h"
#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

using namespace simtest;

constexpr double kByteSeconds = 10.0 / 19200.0;

TEST(SimPacing, ExchangesTakeTheWireTimeOfBothFrames) {
    const struct {
        const char* name;
        bool paced;
        Bytes request;
        std::size_t replyBytes;
    } rows[] = {{"echo", true, frame(5, {0, 1}), 36},
                {"data block", true, frame(9, {0, 2}), 128},
                {"unpaced echo", false, frame(5, {0, 1}), 36},
                {"unpaced data block", false, frame(9, {0, 2}), 128}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
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
        const double wire = (36.0 + row.replyBytes) * kByteSeconds;
        std::printf("[ pacing   ] %s: %.3f ms, wire time %.3f ms (%+.2f %%)\n", row.name,
                    took * 1e3, wire * 1e3, 100 * (took - wire) / wire);
        if (row.paced)
            EXPECT_NEAR(took, wire, 0.02 * wire);
        else
            EXPECT_LT(took, 0.003) << "paced it would take at least 37.5 ms";
    }
}

TEST(SimPeer, KeepsItsTimes) {
    const Bytes twenty(20, 0xA5);
    const struct {
        const char* name;
        std::function<void(sim::ScriptedPeer&)> script;
        std::size_t replyBytes;
        double replyAt; // seconds from the request to the last reply byte (or the hang-up)
        bool hangsUp;
    } rows[] = {
        {"reply after 0.3 s", [&](sim::ScriptedPeer& p) { p.expect(36, 2).reply(twenty, 0.3); }, 20,
         0.3, false},
        {"paced after a pause",
         [&](sim::ScriptedPeer& p) { p.expect(36, 2).pause(0.1).replyPaced(twenty, 0.05); }, 20,
         0.15 + 20 * kByteSeconds, false},
        {"two replies, then hang-up",
         [](sim::ScriptedPeer& p) {
             p.expect(36, 2).reply({1, 2, 3}, 0.1).reply({4, 5}, 0.1).hangUp(0.1);
         },
         5, 0.3, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::ScriptedPeer peer;
        row.script(peer);
        peer.start();
        Port port(peer.devicePath());
        const auto before = Clock::now();
        const auto after = port.write(frame(6, {0, 1, 2, 3}));
        const Received r = port.read(row.hangsUp ? 1000 : row.replyBytes, 2.0);
        const auto end = r.hungUp || r.times.empty() ? Clock::now() : r.times.back();
        EXPECT_TRUE(peer.waitDone(2.0)) << peer.failure();
        EXPECT_EQ(r.bytes.size(), row.replyBytes);
        EXPECT_EQ(r.hungUp, row.hangsUp);
        // Never early, and not much later (a busy machine only makes it later).
        EXPECT_GE(sim::secondsBetween(before, end), row.replyAt - 0.001);
        EXPECT_LT(sim::secondsBetween(*after, end), row.replyAt + 0.05);
    }
}

} // namespace
