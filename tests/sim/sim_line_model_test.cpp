// The line models as the program's serial device meets them: when reply bytes are handed over
// (paced, in adapter bursts, every USB frame), and what the program's output flush takes back
// from a UART line, both from the simulator and from the scripted peer.
#include "serial_client.h"
#include "sim/scripted_peer.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace simtest;
using sim::LineKind;
using sim::LineModel;

const double kByteMs = 1e3 * sim::kBitsPerByte / sim::kLineBaud;
// How late a read may come after its hand-over on a busy machine.
constexpr double kLateMs = 10;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return sim::secondsBetween(from, to) * 1e3;
}

// Checks how a reply that started on the wire at `start` was handed over. Reads less than
// 0.5 ms apart count as one hand-over that the kernel passed on in pieces.
void ExpectHandedOver(const LineModel& m, const Received& r, Clock::time_point start,
                      std::size_t minSeen, std::size_t maxSeen) {
    struct Seen {
        std::size_t first, end;
        double ms;
    };
    std::vector<Seen> seen;
    for (std::size_t i = 0, end = 0; i < r.times.size(); ++i) {
        end += r.sizes[i];
        const double ms = MsBetween(start, r.times[i]);
        if (!seen.empty() && ms - seen.back().ms < 0.5)
            seen.back() = {seen.back().first, end, ms};
        else
            seen.push_back({end - r.sizes[i], end, ms});
    }
    EXPECT_GE(seen.size(), minSeen);
    EXPECT_LE(seen.size(), maxSeen);
    // The longest a byte waits: a UART FIFO burst, the latency timer, one USB frame.
    const double hold = m.kind == LineKind::LatencyTimer  ? m.timerMs
                        : m.kind == LineKind::SmallPacket ? m.packetMs
                                                          : 8 * kByteMs;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const Seen& h = seen[i];
        SCOPED_TRACE(testing::Message()
                     << "bytes " << h.first << ".." << h.end << " at " << h.ms << " ms");
        EXPECT_GE(h.ms, h.end * kByteMs) << "handed over before its last byte was on the wire";
        EXPECT_LE(h.ms, (h.first + 1) * kByteMs + hold + kLateMs) << "held too long";
        if (m.kind != LineKind::LatencyTimer) continue;
        EXPECT_LE(h.end - h.first, m.packetBytes);
        // The timer restarts with every hand-over; only a full packet goes before it runs out.
        if (i > 0 && h.end - h.first != m.packetBytes) {
            EXPECT_GE(h.ms - seen[i - 1].ms, m.timerMs - 3);
        }
    }
}

TEST(SimLineModel, RepliesAreHandedOverAsTheLineDoes) {
    const auto models = sim::LineModelsUnderTest();
    const Bytes echo = frame(5, {0, 7}), block = frame(9, {0, 2});
    const struct {
        LineModel model;
        Bytes request;
        std::size_t replyBytes, minSeen, maxSeen;
    } rows[] = {
        {models[0], echo, 36, 3, 5}, // FIFO bursts of 8 bytes
        {models[1], echo, 36, 3, 5},
        {models[2], echo, 36, 2, 3}, // one or two timer runs within the reply, one after it
        {models[3], echo, 36, 1, 2},
        {models[4], echo, 36, 9, 36}, // about two bytes every millisecond
        {models[2], block, 128, 4, 6},
        // Full packets: 62 + 62 + 4, unless the timer runs out first.
        {{.kind = LineKind::LatencyTimer, .timerMs = 100}, block, 128, 3, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model.name() + ", " + std::to_string(row.replyBytes) + " bytes");
        sim::Simulator::Options o;
        o.line.model = row.model;
        sim::Simulator s(o);
        Port port(s.devicePath());
        const auto written = port.write(row.request);
        ASSERT_TRUE(written);
        const Received r = port.read(row.replyBytes, 1.0);
        const auto replies = s.line().replies();
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(r.bytes, replies[0].sent);
        EXPECT_GE(MsBetween(*written, replies[0].start), 36 * kByteMs - 0.5) << "request paced";
        ExpectHandedOver(row.model, r, replies[0].start, row.minSeen, row.maxSeen);
    }
}

TEST(SimLineModel, OutputFlushDropsWhatTheUartHasNotCarried) {
    const LineModel uart{.kind = LineKind::Uart};
    const struct {
        LineModel model;
        int flushMs;
        bool answered;
        std::size_t minFlushed, maxFlushed; // about 26 of 36 bytes are not on the wire at 5 ms
    } rows[] = {{uart, 5, false, 12, 30}, {uart, 25, true, 0, 0}, {{}, 5, true, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model.name() + ", flush at " + std::to_string(row.flushMs) + " ms");
        sim::Simulator::Options o;
        o.line.model = row.model;
        sim::Simulator s(o);
        Port port(s.devicePath());
        const auto written = port.write(frame(5));
        ASSERT_TRUE(written);
        std::this_thread::sleep_until(*written + std::chrono::milliseconds(row.flushMs));
        port.flushOutput();
        // Long enough for the reply, or for the cut request to be dropped after the gap.
        EXPECT_EQ(port.read(37, 0.3).bytes.size(), row.answered ? 36u : 0u);
        EXPECT_EQ(s.model().requestCount(), row.answered ? 1u : 0u);
        EXPECT_EQ(s.line().droppedPartials(), row.answered ? 0u : 1u);
        EXPECT_GE(s.line().flushedRequestBytes(), row.minFlushed);
        EXPECT_LE(s.line().flushedRequestBytes(), row.maxFlushed);
    }
}

TEST(SimLineModel, ScriptedPeerBehavesAsItsLine) {
    const struct {
        LineModel model;
        int flushMs; // below 0: no flush
        bool expectOk;
        std::size_t minSeen, maxSeen;
    } rows[] = {
        {{.kind = LineKind::LatencyTimer}, -1, true, 2, 3},
        {{.kind = LineKind::Uart}, 5, false, 0, 0},
        {{.kind = LineKind::Uart}, -1, true, 9, 36},
        {{}, 5, true, 0, 0}, // unpaced: nothing to check but the bytes
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model.name() + ", flush at " + std::to_string(row.flushMs) + " ms");
        sim::ScriptedPeer peer(row.model);
        peer.expect(36, 0.2).reply(frame(5, {0xAA}));
        peer.start();
        Port port(peer.devicePath());
        const auto written = port.write(frame(5));
        ASSERT_TRUE(written);
        if (row.flushMs >= 0) {
            std::this_thread::sleep_until(*written + std::chrono::milliseconds(row.flushMs));
            port.flushOutput();
        }
        const Received r = port.read(36, 0.5);
        EXPECT_EQ(peer.waitDone(1.0), row.expectOk) << peer.failure();
        const auto steps = peer.steps();
        ASSERT_FALSE(steps.empty());
        if (!row.expectOk) {
            EXPECT_TRUE(r.bytes.empty());
            EXPECT_GE(peer.flushedBytes().size(), 12u);
            EXPECT_EQ(peer.receivedBytes().size() + peer.flushedBytes().size(), 36u);
            continue;
        }
        EXPECT_EQ(steps[0].bytes, frame(5));
        EXPECT_TRUE(peer.flushedBytes().empty());
        if (row.model.kind == LineKind::Uart) {
            EXPECT_GE(MsBetween(*written, steps[0].done), 36 * kByteMs - 0.5) << "carried paced";
        }
        EXPECT_EQ(r.bytes, frame(5, {0xAA}));
        if (row.model.pacesReplies())
            ExpectHandedOver(row.model, r, steps[0].done, row.minSeen, row.maxSeen);
    }
}

TEST(SimLineModel, LineOptionText) {
    const struct {
        const char* text;
        const char* name; // nullptr: refused
    } rows[] = {{"pty", "pty"},
                {"uart", "uart"},
                {"latency", "latency 16 ms"},
                {"latency:1", "latency 1 ms"},
                {"latency:255", "latency 255 ms"},
                {"packet", "packet 1 ms"},
                {"latency:0", nullptr},
                {"latency:256", nullptr},
                {"latency:", nullptr},
                {"latency:8ms", nullptr},
                {"usb", nullptr}};
    for (const auto& row : rows) {
        LineModel m;
        std::string error;
        EXPECT_EQ(sim::ParseLineModel(row.text, &m, &error), row.name != nullptr) << row.text;
        EXPECT_EQ(m.name(), row.name ? row.name : "pty") << row.text; // unchanged when refused
        EXPECT_EQ(error.empty(), row.name != nullptr) << row.text;
    }
}

} // namespace
