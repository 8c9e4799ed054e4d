// Line timing: the simulator paces both directions as a 19200-baud 8N1 line (10 bits a byte),
// unpaced replies come at once, and the scripted peer keeps its times. These tests measure real
// time and run alone.
#include "serial_client.h"
#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <thread>

namespace {

using namespace simtest;

constexpr double kByteSeconds = 10.0 / 19200.0; // 520.83 us

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Sample {
    double total; // from the write of the request to the last reply byte
    double first; // to the first reply byte
    std::size_t maxChunk;
};

// One request/reply exchange, timed from the moment the request was written. A sample in which
// the test itself was held up around its write (a busy machine) is not used: the write time
// would be wrong by the hold-up.
std::optional<Sample> timedExchange(SerialClient& port, const Bytes& request,
                                    std::size_t replyBytes) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto before = sim::Clock::now();
    const auto after = port.write(request);
    if (!after) return std::nullopt;
    const Received r = port.read(replyBytes, 2.0);
    if (r.bytes.size() != replyBytes) return std::nullopt;
    if (*after - before > std::chrono::microseconds(300)) return std::nullopt;
    const auto sent = before + (*after - before) / 2;
    return Sample{sim::secondsBetween(sent, r.last()),
                  sim::secondsBetween(sent, r.chunkTimes.front()),
                  *std::max_element(r.chunkSizes.begin(), r.chunkSizes.end())};
}

std::vector<Sample> samples(SerialClient& port, const Bytes& request, std::size_t replyBytes) {
    std::vector<Sample> out;
    for (int attempt = 0; attempt < 30 && out.size() < 7; ++attempt)
        if (auto s = timedExchange(port, request, replyBytes)) out.push_back(*s);
    return out;
}

// Every disturbance on a busy machine (a thread of the test or of the simulator not running
// when its time came) can only make an exchange slower. So the fastest of several exchanges is
// what the line's pacing gives; the median is reported beside it.
double pacingError(const std::string& name, const std::vector<Sample>& got, double expected) {
    std::vector<double> totals;
    for (const Sample& s : got)
        totals.push_back(s.total);
    const double best = *std::min_element(totals.begin(), totals.end());
    const double errorPercent = 100.0 * (best - expected) / expected;
    std::printf("[ pacing   ] %s: expected %.3f ms, fastest %.3f ms (%+.2f %%), median %.3f ms "
                "(%+.2f %%), slowest %.3f ms, %zu exchanges\n",
                name.c_str(), expected * 1e3, best * 1e3, errorPercent, median(totals) * 1e3,
                100.0 * (median(totals) - expected) / expected,
                *std::max_element(totals.begin(), totals.end()) * 1e3, totals.size());
    testing::Test::RecordProperty("pacing_error_percent_" + name, std::to_string(errorPercent));
    return errorPercent;
}

struct PacingCase {
    std::string name;
    Bytes request;
    std::size_t replyBytes;
};

void PrintTo(const PacingCase& c, std::ostream* os) {
    *os << c.name;
}

class SimPacing : public testing::TestWithParam<PacingCase> {};

// From the write of a request to the last reply byte: the request's own wire time, then the
// reply's, (36 + reply length) byte times; the reply comes in bursts of at most 8 bytes, the
// first of them when its 8th byte would have arrived.
TEST_P(SimPacing, ExchangeTakesTheWireTimeOfBothFrames) {
    const PacingCase& c = GetParam();
    sim::Simulator simulator; // paced by default
    SerialClient port(simulator.devicePath());
    const auto got = samples(port, c.request, c.replyBytes);
    ASSERT_GE(got.size(), 5u) << "too few undisturbed exchanges";
    const double expected = (36.0 + c.replyBytes) * kByteSeconds;
    EXPECT_LT(std::abs(pacingError(c.name, got, expected)), 2.0);

    double firstBurst = 1e9;
    bool burstsSeen = false;
    for (const Sample& s : got) {
        firstBurst = std::min(firstBurst, s.first);
        burstsSeen = burstsSeen || s.maxChunk <= 8;
    }
    EXPECT_GE(firstBurst, (36.0 + 8.0) * kByteSeconds - 0.0002)
        << "no reply byte before the 8th byte of the first burst would have arrived";
    // A reader held up may take two bursts at once; a simulator writing a reply in one piece
    // would never show bursts.
    EXPECT_TRUE(burstsSeen) << "delivered in bursts of at most 8 bytes";
}

INSTANTIATE_TEST_SUITE_P(SimLine, SimPacing,
                         testing::Values(PacingCase{"Echo36", frame(5, {0, 1}), 36},
                                         PacingCase{"DataBlock128", frame(9, {0, 2}), 128},
                                         PacingCase{"Firmware64", frame(7, {}), 64}),
                         [](const auto& info) { return info.param.name; });

TEST(SimPacing, BackToBackRequestsQueueOnTheLine) {
    // Two requests written together: the first is complete after 36 byte times and answered
    // from there; the second is complete after 72, when the first reply has just ended, so the
    // last byte of the second reply comes after 72 + 36 = 108 byte times.
    sim::Simulator simulator;
    SerialClient port(simulator.devicePath());
    Bytes two = frame(5, {0, 1});
    const Bytes second = frame(5, {0, 2});
    two.insert(two.end(), second.begin(), second.end());
    const auto got = samples(port, two, 72);
    ASSERT_GE(got.size(), 5u) << "too few undisturbed exchanges";
    EXPECT_LT(std::abs(pacingError("BackToBack", got, 108 * kByteSeconds)), 2.0);
}

TEST(SimPacing, UnpacedRepliesComeAtOnce) {
    sim::Simulator::Options o;
    o.line.pacing = false;
    sim::Simulator simulator(o);
    SerialClient port(simulator.devicePath());
    for (const auto& [request, length] :
         {std::pair{frame(5, {}), std::size_t{36}}, {frame(9, {0, 2}), 128}}) {
        const auto got = samples(port, request, length);
        ASSERT_GE(got.size(), 3u);
        double best = 1e9;
        for (const Sample& s : got)
            best = std::min(best, s.total);
        // Paced, this exchange would take at least 37.5 ms.
        EXPECT_LT(best, 0.003) << length << "-byte reply";
    }
}

TEST(SimPacing, DelayFaultStartsTheReplyLate) {
    sim::Simulator::Options o;
    o.line.faults.seed = 1;
    o.line.faults.delay = 1.0;
    o.line.faults.delaySeconds = 0.25;
    sim::Simulator simulator(o);
    SerialClient port(simulator.devicePath());
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto sent = port.write(frame(5, {}));
        const Received r = port.read(36, 2.0);
        ASSERT_EQ(r.bytes.size(), 36u);
        best = std::min(best, sim::secondsBetween(*sent, r.last()));
    }
    const double expected = 0.25 + 72 * kByteSeconds;
    EXPECT_GE(best, expected - 0.001);
    EXPECT_LT(best, expected + 0.01);
}

// ---- Scripted peer ------------------------------------------------------------------------

struct PeerCase {
    std::string name;
    std::function<void(sim::ScriptedPeer&)> script;
    std::size_t replyBytes; // what the test reads after its 36-byte request
    double replyAt;         // seconds from the request to the last reply byte
    bool hangsUp;
};

void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

class SimPeer : public testing::TestWithParam<PeerCase> {};

TEST_P(SimPeer, KeepsItsTimes) {
    const PeerCase& c = GetParam();
    sim::ScriptedPeer peer;
    c.script(peer);
    peer.start();
    SerialClient port(peer.devicePath());
    const Bytes request = frame(6, {0, 1, 2, 3});
    const auto sent = port.write(request);
    const Received r = c.hangsUp ? port.readUntilQuiet(2.0, 0.5) : port.read(c.replyBytes, 2.0);
    EXPECT_TRUE(peer.waitDone(2.0)) << peer.failure();
    EXPECT_EQ(r.bytes.size(), c.replyBytes);
    EXPECT_EQ(r.hungUp, c.hangsUp);
    const auto at = c.hangsUp ? sim::Clock::now() : r.last();
    EXPECT_NEAR(sim::secondsBetween(*sent, at), c.replyAt, 0.015);
    const auto steps = peer.steps();
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps[0].bytes, request) << "the expect step recorded the request";
    EXPECT_EQ(peer.receivedBytes(), request);
}

Bytes twenty() {
    Bytes b(20);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(0xA0 + i);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    SimScript, SimPeer,
    testing::Values(
        PeerCase{"ReplyAfter300ms",
                 [](sim::ScriptedPeer& p) { p.expect(36, 2.0).reply(twenty(), 0.3); }, 20, 0.3,
                 false},
        PeerCase{"ReplyAtOnce", [](sim::ScriptedPeer& p) { p.expect(36, 2.0).reply(twenty()); }, 20,
                 0.0, false},
        PeerCase{
            "PacedReplyAfterPause",
            [](sim::ScriptedPeer& p) { p.expect(36, 2.0).pause(0.1).replyPaced(twenty(), 0.05); },
            20, 0.15 + 20 * kByteSeconds, false},
        PeerCase{"TwoRepliesThenHangUp",
                 [](sim::ScriptedPeer& p) {
                     p.expect(36, 2.0).reply({1, 2, 3}, 0.1).reply({4, 5}, 0.1).hangUp(0.1);
                 },
                 5, 0.3, true}),
    [](const auto& info) { return info.param.name; });

TEST(SimPeer, MissingBytesFailTheScript) {
    sim::ScriptedPeer peer;
    peer.expect(36, 0.2).reply({1, 2, 3});
    peer.start();
    SerialClient port(peer.devicePath());
    port.write(Bytes(20, 0x11));
    EXPECT_FALSE(peer.waitDone(2.0));
    EXPECT_NE(peer.failure().find("got 20"), std::string::npos) << peer.failure();
    EXPECT_TRUE(port.readUntilQuiet(0.2, 0.05).bytes.empty()) << "no reply after a failed expect";
}

} // namespace
