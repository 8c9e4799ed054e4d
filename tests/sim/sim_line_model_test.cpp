// The line models as the program's serial device meets them: when reply bytes are handed over
// (paced, in adapter bursts, every USB frame), and what the program's output flush takes back
// from a UART line, both from the simulator and from the scripted peer.
#include "serial_client.h"
#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace simtest;
using sim::LineKind;
using sim::LineModel;

const double kByteMs = 1e3 * sim::kBitsPerByte / sim::kLineBaud;
// How late a read may come after its hand-over on a busy machine.
constexpr double kLateMs = 30;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return sim::secondsBetween(from, to) * 1e3;
}

// Checks how a reply that started on the wire at `start` was handed over. A read that comes
// late only makes it later or merges it with the next, so the checks that need no time limit
// go by sizes or by the quickest read: UART and pty bursts are whole FIFO loads (`burst`), a
// latency timer's hand-over between the first and the last holds every byte of one timer run
// (a full packet when that is less), and a small-packet adapter hands a byte over within one
// USB frame at least once. Reads less than 0.5 ms apart are one hand-over passed on in pieces.
void ExpectHandedOver(const LineModel& m, const Received& r, Clock::time_point start,
                      std::size_t burst) {
    std::vector<std::pair<std::size_t, double>> seen; // end of each hand-over, its time
    for (std::size_t i = 0, end = 0; i < r.times.size(); ++i) {
        const double ms = MsBetween(start, r.times[i]);
        if (seen.empty() || ms - seen.back().second >= 0.5) seen.emplace_back();
        seen.back() = {end += r.sizes[i], ms};
    }
    ASSERT_FALSE(seen.empty());
    const bool timer = m.kind == LineKind::LatencyTimer, packet = m.kind == LineKind::SmallPacket;
    // The longest a byte waits: a FIFO load, the latency timer, one USB frame.
    const double hold = timer ? m.timerMs : packet ? m.packetMs : burst * kByteMs;
    const auto [total, lastMs] = seen.back();
    EXPECT_LE(lastMs, total * kByteMs + hold + kLateMs) << "held too long";
    double quickest = 1e9; // after the first hand-over, from a read's first byte on the wire
    for (std::size_t i = 0, first = 0; i < seen.size(); first = seen[i++].first) {
        const auto [end, ms] = seen[i];
        SCOPED_TRACE(testing::Message() << "bytes " << first << ".." << end << " at " << ms);
        EXPECT_GE(ms, end * kByteMs) << "handed over before its last byte was on the wire";
        if (i > 0) quickest = std::min(quickest, ms - (first + 1) * kByteMs);
        const std::size_t size = end - first;
        const bool middle = i > 0 && end < total;
        EXPECT_TRUE(timer || packet || end == total || size % burst == 0) << "not whole FIFO loads";
        EXPECT_TRUE(!timer || size <= m.packetBytes) << "more than a packet";
        EXPECT_TRUE(!timer || !middle ||
                    size >= std::min(m.packetBytes * 1.0, m.timerMs / kByteMs - 1))
            << "handed over before the timer ran out";
    }
    EXPECT_TRUE(!packet || seen.size() < 2 || quickest <= m.packetMs + 3)
        << "held as if by a timer: " << quickest << " ms";
}

// Every model with an echo; data blocks under a 16 ms timer, a 100 ms timer (full packets:
// 62 + 62 + 4, unless the timer runs out first) and 1 ms frames.
TEST(SimLineModel, RepliesAreHandedOverAsTheLineDoes) {
    const auto models = sim::LineModelsUnderTest();
    const LineModel timer100{.kind = LineKind::LatencyTimer, .timerMs = 100};
    const Bytes echo = frame(5, {0, 7}), block = frame(9, {0, 2});
    std::vector<std::pair<LineModel, Bytes>> rows;
    for (const LineModel& m : models)
        rows.emplace_back(m, echo);
    for (const LineModel& m : {models[2], timer100, models[4]})
        rows.emplace_back(m, block);
    for (const auto& [model, request] : rows) {
        const std::size_t replyBytes = request == echo ? 36 : 128;
        SCOPED_TRACE(model.name() + ", " + std::to_string(replyBytes) + " bytes");
        sim::Simulator::Options o;
        o.line.model = model;
        sim::Simulator s(o);
        Port port(s.devicePath());
        const auto sent = Clock::now(); // the write may return late, not begin early
        ASSERT_TRUE(port.write(request));
        const Received r = port.read(replyBytes, 1.0);
        const auto replies = s.line().replies();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(r.bytes, replies[0].sent);
        EXPECT_GE(MsBetween(sent, replies[0].start), 36 * kByteMs - 0.5) << "request paced";
        ExpectHandedOver(model, r, replies[0].start, o.line.burstBytes);
    }
}

// About 20 of the 36 request bytes are not on the wire 8 ms after the write; fewer when the flush
// comes late, more when the controller's side read the request late. The request is on the wire
// 18.75 ms; the flush times leave a busy machine some room on either side.
TEST(SimLineModel, OutputFlushDropsWhatTheUartHasNotCarried) {
    const LineModel uart{.kind = LineKind::Uart};
    const struct {
        LineModel model;
        int flushMs;
        bool answered;
        std::size_t minFlushed, maxFlushed;
    } rows[] = {{uart, 8, false, 4, 36}, {uart, 35, true, 0, 0}, {{}, 8, true, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model.name() + ", flush at " + std::to_string(row.flushMs) + " ms");
        sim::Simulator::Options o;
        o.line.model = row.model;
        sim::Simulator s(o);
        Port port(s.devicePath());
        // A flush takes back only what the line has read: let its new thread reach its wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto sent = Clock::now();
        ASSERT_TRUE(port.write(frame(5)));
        std::this_thread::sleep_until(sent + std::chrono::milliseconds(row.flushMs));
        port.flushOutput();
        // Long enough for the reply, or for what was carried of the request to be dropped after
        // the gap; the next request is answered either way.
        EXPECT_EQ(port.read(37, 0.3).bytes.size(), row.answered ? 36u : 0u);
        EXPECT_GE(s.line().flushedRequestBytes(), row.minFlushed);
        EXPECT_LE(s.line().flushedRequestBytes(), row.maxFlushed);
        ASSERT_TRUE(port.write(frame(5, {0, 1})));
        EXPECT_EQ(port.read(36, 1.0).bytes, frame(5, {0xAA, 1}));
        EXPECT_EQ(s.model().requestCount(), row.answered ? 2u : 1u);
    }
}

// The scripted peer's line: a reply in timer hand-overs; under UART an expect fails when the
// program flushed the request 8 ms into its write, and the flushed bytes are kept apart.
TEST(SimLineModel, ScriptedPeerBehavesAsItsLine) {
    for (const LineModel& model :
         {LineModel{.kind = LineKind::LatencyTimer}, LineModel{.kind = LineKind::Uart}}) {
        SCOPED_TRACE(model.name());
        const bool flush = model.kind == LineKind::Uart;
        sim::ScriptedPeer peer(model);
        peer.expect(36, 0.2).reply(frame(5, {0xAA})).start();
        Port port(peer.devicePath());
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // as above
        const auto sent = Clock::now();
        ASSERT_TRUE(port.write(frame(5)));
        std::this_thread::sleep_until(sent + std::chrono::milliseconds(8));
        if (flush) port.flushOutput();
        const Received r = port.read(36, 0.5);
        EXPECT_EQ(peer.waitDone(1.0), !flush) << peer.failure();
        EXPECT_EQ(peer.receivedBytes().size() + peer.flushedBytes().size(), 36u);
        EXPECT_EQ(peer.flushedBytes().size() >= 4, flush);
        EXPECT_EQ(r.bytes, flush ? Bytes{} : frame(5, {0xAA}));
        if (!flush) ExpectHandedOver(model, r, peer.steps().at(0).done, 1);
    }
}

} // namespace
