// The line endpoint: finding frames in a disturbed byte stream, reproducible faults, hang-ups,
// the muted controller, the request log, serving a serial device and keeping the EEPROM.
#include "serial_client.h"
#include "sim/pty.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

using namespace simtest;

sim::Simulator::Options unpaced() {
    sim::Simulator::Options o;
    o.line.pacing = false;
    return o;
}

Bytes echoRequest(std::uint16_t marker) {
    return frame(5, {0, marker, 2, 3});
}
Bytes echoReply(std::uint16_t marker) {
    return frame(5, {0x00AA, marker, 2, 3});
}

// ---- Re-synchronisation -------------------------------------------------------------------

struct ResyncCase {
    std::string name;
    std::vector<Bytes> writes; // written in order, `pause` apart
    double pause;
    std::vector<std::uint16_t> answeredMarkers; // echo replies expected, in order
    std::size_t skipped;                        // bytes skipped looking for the sync word
    std::size_t droppedPartials;
};

void PrintTo(const ResyncCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes head(const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + n);
}
Bytes tail(const Bytes& b, std::size_t n) {
    return Bytes(b.begin() + n, b.end());
}

std::vector<ResyncCase> resyncCases() {
    return {
        {"GarbageBeforeFrame", {cat({0x12, 0x34, 0xAA, 0xFF, 0x55}, echoRequest(1))}, 0, {1}, 5, 0},
        {"ZerosBeforeFrame", {cat({0x00, 0x00, 0x00}, echoRequest(2))}, 0, {2}, 3, 0},
        {"GarbageBetweenFrames",
         {cat(cat(echoRequest(3), {0x99, 0x00, 0x13}), echoRequest(4))},
         0,
         {3, 4},
         3,
         0},
        {"PartialFrameDroppedAfterGap", {head(echoRequest(5), 20), echoRequest(6)}, 0.2, {6}, 0, 1},
        {"FrameSplitWithinGap",
         {head(echoRequest(7), 11), tail(echoRequest(7), 11)},
         0.03,
         {7},
         0,
         0},
        {"ByteByByte",
         [] {
             std::vector<Bytes> w;
             for (std::uint8_t b : echoRequest(8))
                 w.push_back({b});
             return w;
         }(),
         0.002,
         {8},
         0,
         0},
    };
}

class SimResync : public testing::TestWithParam<ResyncCase> {};

TEST_P(SimResync, FindsTheNextFrame) {
    const ResyncCase& c = GetParam();
    sim::Simulator simulator(unpaced());
    SerialClient port(simulator.devicePath());
    for (std::size_t i = 0; i < c.writes.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(c.pause));
        ASSERT_TRUE(port.write(c.writes[i]));
    }
    Bytes expected;
    for (std::uint16_t m : c.answeredMarkers)
        expected = cat(expected, echoReply(m));
    const Received r = port.readUntilQuiet(2.0, 0.15);
    EXPECT_EQ(words(r.bytes), words(expected));
    EXPECT_EQ(simulator.line().skippedBytes(), c.skipped);
    EXPECT_EQ(simulator.line().droppedPartials(), c.droppedPartials);
}

INSTANTIATE_TEST_SUITE_P(SimLine, SimResync, testing::ValuesIn(resyncCases()),
                         [](const auto& info) { return info.param.name; });

// ---- Measurement values and curves --------------------------------------------------------

std::vector<std::vector<std::uint16_t>> measurements(sim::Simulator& s, int count) {
    SerialClient port(s.devicePath());
    std::vector<std::vector<std::uint16_t>> out;
    for (int i = 0; i < count; ++i) {
        port.write(frame(8, {}));
        const Received r = port.read(36, 2.0);
        if (r.bytes.size() != 36) break;
        const auto w = words(r.bytes);
        out.emplace_back(w.begin() + 2, w.end()); // data words 0-15
    }
    return out;
}

TEST(SimMeasurements, ArePlausibleAndVary) {
    sim::Simulator simulator(unpaced());
    const auto frames = measurements(simulator, 400);
    ASSERT_EQ(frames.size(), 400u);
    int adcInRange = 0;
    int smallSteps = 0;
    std::uint16_t adcMin = 0xFFFF, adcMax = 0, normMin = 0xFFFF, normMax = 0;
    std::set<std::uint16_t> t1s, in0s, in1s;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& w = frames[i];
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_GE(w[3], 1);
        EXPECT_LT(w[3], w[4]) << "T1 < T2";
        EXPECT_LE(w[4], 128);
        EXPECT_EQ(w[5], w[4] - w[3]) << "DT = T2 - T1";
        EXPECT_LE(w[6], 1);
        EXPECT_LE(w[7], 1);
        EXPECT_LE(w[8], 1);
        EXPECT_GE(w[9], 1);
        EXPECT_LE(w[9], 128);
        EXPECT_TRUE(std::all_of(w.begin() + 10, w.end(), [](auto v) { return v == 0; }));
        EXPECT_GT(w[2], 0) << "Amax";
        // valNORMA is 1000 * A / Amax.
        EXPECT_NEAR(w[0], 1000.0 * w[1] / w[2], 1.0);
        adcInRange += w[1] <= 1000;
        adcMin = std::min(adcMin, w[1]);
        adcMax = std::max(adcMax, w[1]);
        normMin = std::min(normMin, w[0]);
        normMax = std::max(normMax, w[0]);
        t1s.insert(w[3]);
        in0s.insert(w[7]);
        in1s.insert(w[8]);
        if (i > 0) smallSteps += std::abs(int(w[1]) - int(frames[i - 1][1])) < 40;
    }
    EXPECT_EQ(adcInRange, 400) << "raw values stay on the raw graph's 0..1000 scale";
    EXPECT_GT(adcMax - adcMin, 100) << "the signal drifts";
    EXPECT_GT(normMax, 900) << "the normalised value reaches the first threshold";
    EXPECT_LT(normMin, 600) << "and now and then drops below the second";
    EXPECT_GT(smallSteps, 330) << "mostly slow drift, not jumps";
    EXPECT_GT(t1s.size(), 2u);
    EXPECT_EQ(in0s.size(), 2u);
    EXPECT_EQ(in1s.size(), 2u);
}

TEST(SimMeasurements, OneSeedOneSequence) {
    auto run = [](std::uint64_t seed) {
        auto o = unpaced();
        o.model.seed = seed;
        sim::Simulator s(o);
        return measurements(s, 60);
    };
    const auto a = run(42);
    ASSERT_EQ(a.size(), 60u);
    EXPECT_EQ(run(42), a);
    EXPECT_NE(run(43), a);
}

TEST(SimMeasurements, NextValuesCanBeSetOnceOrFrozen) {
    sim::Simulator simulator(unpaced());
    const sim::Measurement once{100, 200, 300, 10, 20, 10, 0, 1, 0, 15};
    const sim::Measurement frozen{900, 850, 944, 40, 100, 60, 1, 1, 1, 70};
    simulator.model().setNextMeasurement(once);
    auto f = measurements(simulator, 2);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(std::vector<std::uint16_t>(f[0].begin(), f[0].begin() + 10),
              (std::vector<std::uint16_t>{100, 200, 300, 10, 20, 10, 0, 1, 0, 15}));
    EXPECT_NE(f[1][0], 100) << "only the next frame";
    simulator.model().freezeMeasurement(frozen);
    f = measurements(simulator, 3);
    ASSERT_EQ(f.size(), 3u);
    for (const auto& w : f)
        EXPECT_EQ(w[0], 900);
    EXPECT_EQ(simulator.model().measurementCount(), 5u);
}

Bytes readBlocks(SerialClient& port, std::uint16_t source, int blocks) {
    Bytes all;
    for (int b = 0; b < blocks; ++b) {
        port.write(frame(9, {static_cast<std::uint16_t>(64 * b), source}));
        all = cat(all, port.read(128, 2.0).bytes);
    }
    return all;
}

TEST(SimCurves, RawAndNormalisedPulseMatchTheMeasurement) {
    sim::Simulator simulator(unpaced());
    simulator.model().freezeMeasurement({950, 800, 842, 30, 90, 60, 0, 0, 0, 60});
    SerialClient port(simulator.devicePath());
    port.write(frame(8, {}));
    ASSERT_EQ(port.read(36, 2.0).bytes.size(), 36u);

    const auto raw = words(readBlocks(port, 0, 2));
    const auto norm = words(readBlocks(port, 1, 2));
    ASSERT_EQ(raw.size(), 128u);
    ASSERT_EQ(norm.size(), 128u);
    EXPECT_EQ(words(readBlocks(port, 0, 2)), raw) << "the same curve on every read";
    EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](auto v) { return v <= 1000; }));
    for (int i = 0; i < 128; ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        if (i < 30 - 6 || i > 90 + 6) {
            EXPECT_NEAR(raw[i], 100, 10) << "base outside the pulse";
        }
        if (i >= 30 && i <= 90) {
            EXPECT_NEAR(raw[i], 800, 10) << "plateau between T1 and T2";
        }
    }
    // The normalised curve peaks at 1000 and crosses both default thresholds (900, 600) on the
    // rising edge before T1 and on the falling edge after T2.
    EXPECT_EQ(*std::max_element(norm.begin(), norm.end()), 1000);
    auto firstAbove = [&](std::uint16_t level, int from, int to, int step) {
        for (int i = from; i != to; i += step)
            if (norm[i] >= level) return i;
        return -1;
    };
    const int rise600 = firstAbove(600, 0, 128, 1), rise900 = firstAbove(900, 0, 128, 1);
    const int fall600 = firstAbove(600, 127, -1, -1), fall900 = firstAbove(900, 127, -1, -1);
    EXPECT_GE(rise600, 30 - 6);
    EXPECT_LE(rise600, rise900);
    EXPECT_LE(rise900, 30);
    EXPECT_GE(fall900, 90);
    EXPECT_LE(fall900, fall600);
    EXPECT_LE(fall600, 90 + 6);
    EXPECT_LT(norm[0], 600);
    EXPECT_LT(norm[127], 600);
    // Blocks beyond the 128 curve points are zero.
    port.write(frame(9, {128, 0}));
    EXPECT_EQ(port.read(128, 2.0).bytes, Bytes(128, 0));
}

// ---- Faults -------------------------------------------------------------------------------

sim::FaultConfig mixedFaults(std::uint64_t seed) {
    sim::FaultConfig f;
    f.seed = seed;
    f.drop = 0.15;
    f.delay = 0.15;
    f.delaySeconds = 0.1;
    f.cutShort = 0.15;
    f.corrupt = 0.15;
    f.extra = 0.15;
    return f;
}

struct Observed {
    Bytes bytes;
    bool late = false;
    bool operator==(const Observed&) const = default;
};

std::vector<Observed> runFaulty(sim::FaultConfig faults, int requests,
                                std::vector<std::string>* described = nullptr) {
    auto o = unpaced();
    o.line.faults = std::move(faults);
    sim::Simulator s(o);
    SerialClient port(s.devicePath());
    std::vector<Observed> seen;
    for (int i = 0; i < requests; ++i) {
        const auto sent = port.write(echoRequest(static_cast<std::uint16_t>(i)));
        const Received r = port.readUntilQuiet(0.25, 0.03);
        Observed ob{r.bytes, !r.chunkTimes.empty() &&
                                 r.chunkTimes.front() - *sent > std::chrono::milliseconds(60)};
        seen.push_back(ob);
    }
    if (described)
        for (const auto& rec : s.line().replies())
            described->push_back(rec.fault.describe());
    return seen;
}

TEST(SimFaults, OneSeedReproducesOneFaultPattern) {
    constexpr int kRequests = 24;
    std::vector<std::string> descA, descB;
    // Three independent simulators at once, to keep the real waits short.
    auto fa = std::async(std::launch::async,
                         [&] { return runFaulty(mixedFaults(7), kRequests, &descA); });
    auto fb = std::async(std::launch::async,
                         [&] { return runFaulty(mixedFaults(7), kRequests, &descB); });
    auto fc = std::async(std::launch::async, [&] { return runFaulty(mixedFaults(8), kRequests); });
    const auto a = fa.get();
    const auto b = fb.get();
    const auto c = fc.get();
    EXPECT_EQ(a, b) << "same seed, same bytes on the wire";
    EXPECT_EQ(descA, descB);
    EXPECT_NE(a, c) << "another seed, another pattern";

    // The pattern holds every kind of fault, and clean replies.
    int dropped = 0, shortened = 0, longer = 0, corrupted = 0, clean = 0, late = 0;
    for (int i = 0; i < kRequests; ++i) {
        const Bytes good = echoReply(static_cast<std::uint16_t>(i));
        const Bytes& got = a[i].bytes;
        late += a[i].late;
        if (got.empty())
            ++dropped;
        else if (got == good)
            ++clean;
        else if (got.size() > good.size())
            ++longer;
        else if (got.size() < good.size())
            ++shortened;
        else
            ++corrupted;
    }
    EXPECT_GT(dropped, 0);
    EXPECT_GT(shortened, 0);
    EXPECT_GT(longer, 0);
    EXPECT_GT(corrupted, 0);
    EXPECT_GT(clean, 0);
    EXPECT_GT(late, 0);
}

TEST(SimFaults, OnlyTheChosenOrdersAreTouched) {
    auto o = unpaced();
    o.line.faults.seed = 3;
    o.line.faults.drop = 1.0;
    o.line.faults.orders = {8};
    sim::Simulator s(o);
    SerialClient port(s.devicePath());
    port.write(echoRequest(1));
    EXPECT_EQ(port.read(36, 1.0).bytes, echoReply(1));
    port.write(frame(8, {}));
    EXPECT_TRUE(port.readUntilQuiet(0.2, 0.05).bytes.empty()) << "measurement replies dropped";
    port.write(echoRequest(2));
    EXPECT_EQ(port.read(36, 1.0).bytes, echoReply(2));
}

// ---- Hang-up and mute ---------------------------------------------------------------------

struct HangUpCase {
    std::string name;
    unsigned afterReplies;
    double afterSeconds;
    bool byCall;
    int answeredBefore; // echoes answered before the line closes
};

void PrintTo(const HangUpCase& c, std::ostream* os) {
    *os << c.name;
}

class SimHangUp : public testing::TestWithParam<HangUpCase> {};

TEST_P(SimHangUp, EndsTheLine) {
    const HangUpCase& c = GetParam();
    auto o = unpaced();
    o.line.faults.hangUpAfterReplies = c.afterReplies;
    o.line.faults.hangUpAfterSeconds = c.afterSeconds;
    sim::Simulator s(o);
    SerialClient port(s.devicePath());
    const auto t0 = sim::Clock::now();
    for (int i = 0; i < c.answeredBefore; ++i) {
        port.write(echoRequest(static_cast<std::uint16_t>(i)));
        EXPECT_EQ(port.read(36, 1.0).bytes, echoReply(static_cast<std::uint16_t>(i)));
    }
    if (c.byCall) s.line().hangUpNow();
    // The program's next read ends with EIO or end of file, without a request being needed.
    const Received r = port.readUntilQuiet(2.0, 0.1);
    EXPECT_TRUE(r.hungUp);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_TRUE(s.line().hungUp());
    EXPECT_FALSE(port.write(echoRequest(99))) << "writes fail on a hung-up line";
    if (c.afterSeconds > 0) {
        const double t = sim::secondsBetween(t0, sim::Clock::now());
        EXPECT_GE(t, c.afterSeconds - 0.02);
        EXPECT_LT(t, c.afterSeconds + 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(SimLine, SimHangUp,
                         testing::Values(HangUpCase{"Now", 0, 0, true, 1},
                                         HangUpCase{"AfterTwoReplies", 2, 0, false, 2},
                                         HangUpCase{"AfterTime", 0, 0.3, false, 1}),
                         [](const auto& info) { return info.param.name; });

TEST(SimLine, MutedControllerRecordsButDoesNotAnswer) {
    sim::Simulator s(unpaced());
    SerialClient port(s.devicePath());
    s.line().setMuted(true);
    port.write(echoRequest(1));
    port.write(frame(8, {}));
    EXPECT_TRUE(port.readUntilQuiet(0.2, 0.05).bytes.empty());
    EXPECT_EQ(s.model().requestCount(), 2u);
    EXPECT_EQ(s.model().measurementCount(), 0u) << "a muted controller changes nothing";
    s.line().setMuted(false);
    port.write(echoRequest(2));
    EXPECT_EQ(port.read(36, 1.0).bytes, echoReply(2));
}

TEST(SimLine, RequestLogHoldsBytesOrderAndTimes) {
    sim::Simulator s(unpaced());
    SerialClient port(s.devicePath());
    const auto before = sim::Clock::now();
    port.write(frame(2, {1}));
    port.read(36, 1.0);
    port.write(frame(1, {0, 7, 7}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.write(echoRequest(3));
    port.read(36, 1.0);
    const auto log = s.model().requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].order, 2);
    EXPECT_EQ(log[1].order, 1);
    EXPECT_EQ(log[1].bytes, frame(1, {0, 7, 7}));
    EXPECT_EQ(log[2].bytes, echoRequest(3));
    EXPECT_GE(log[0].firstByte, before);
    EXPECT_LE(log[0].firstByte, log[0].arrival);
    EXPECT_GE(log[2].arrival - log[1].arrival, std::chrono::milliseconds(45));
    s.model().clearRequests();
    EXPECT_EQ(s.model().requestCount(), 0u);
}

TEST(SimLine, ServesASerialDevice) {
    // The test holds the master of a pseudo-terminal; the endpoint opens its slave as a device.
    sim::Pty pty;
    sim::ControllerModel model;
    sim::LineOptions options;
    options.pacing = false;
    sim::LineEndpoint line(model, pty.slavePath(), options);
    line.start();
    SerialClient port = SerialClient::adopt(dup(pty.masterFd()));
    port.write(echoRequest(5));
    EXPECT_EQ(port.read(36, 1.0).bytes, echoReply(5));
    EXPECT_THROW(sim::LineEndpoint(model, "/nonexistent/tty", options), std::runtime_error);
}

// ---- EEPROM kept in a file ----------------------------------------------------------------

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/evok-sim-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

TEST(SimEeprom, SurvivesARestart) {
    TempDir dir;
    const std::string file = dir / "eeprom.txt";
    const std::vector<std::uint16_t> page0 = {0, 1, 2,  3,  4,  5,  6,  7,
                                              8, 9, 10, 11, 12, 13, 14, 65535};
    const std::vector<std::uint16_t> page1 = {1, 31, 32};
    {
        auto o = unpaced();
        o.model.eepromFile = file;
        sim::Simulator s(o);
        EXPECT_FALSE(s.model().eepromLoadedFromFile());
        SerialClient port(s.devicePath());
        port.write(frame(3, page0));
        port.write(frame(3, page1));
        port.write(frame(1, {0, 99})); // RAM only: not kept
        port.write(echoRequest(1));
        ASSERT_EQ(port.read(36, 1.0).bytes.size(), 36u);
        EXPECT_TRUE(std::filesystem::exists(file));
    }
    auto o = unpaced();
    o.model.eepromFile = file;
    sim::Simulator s(o);
    EXPECT_TRUE(s.model().eepromLoadedFromFile());
    SerialClient port(s.devicePath());
    for (const auto& [order, page, expected] :
         {std::tuple{4, 0, page0}, {4, 1, page1}, {2, 0, page0}, {2, 1, page1}}) {
        port.write(frame(static_cast<std::uint16_t>(order), {static_cast<std::uint16_t>(page)}));
        EXPECT_EQ(port.read(36, 1.0).bytes, frame(static_cast<std::uint16_t>(order), expected))
            << "order " << order << " page " << page;
    }
}

TEST(SimEeprom, BrokenFileFallsBackToStartValues) {
    TempDir dir;
    const std::string file = dir / "eeprom.txt";
    std::ofstream(file) << "0 1 2 three\n";
    sim::ControllerModel::Options o;
    o.eepromFile = file;
    sim::ControllerModel model(o);
    EXPECT_FALSE(model.eepromLoadedFromFile());
    EXPECT_FALSE(model.eepromFileError().empty());
    EXPECT_EQ(model.eepromParameters(), sim::ControllerModel::startValues());
}

} // namespace
