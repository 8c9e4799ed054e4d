// The line endpoint: finding frames in a disturbed byte stream, reproducible faults, hang-ups.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>

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

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SimLine, ResynchronisesOnTheNextFrame) {
    const Bytes e = Echo(7);
    const struct {
        const char* name;
        std::vector<Bytes> writes; // 0.2 s apart, longer than the line's gap
        Bytes replies;
    } rows[] = {
        {"garbage before a frame", {Cat({0x12, 0x34, 0xAA, 0xFF, 0x55}, e)}, Echo(7, 0xAA)},
        {"garbage between frames",
         {Cat(Cat(Echo(1), {0x99, 0x00, 0x13}), e)},
         Cat(Echo(1, 0xAA), Echo(7, 0xAA))},
        {"partial frame, then a whole one", {Bytes(e.begin(), e.begin() + 20), e}, Echo(7, 0xAA)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Simulator s(Unpaced());
        Port port(s.devicePath());
        for (const Bytes& w : row.writes) {
            ASSERT_TRUE(port.write(w));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        EXPECT_EQ(port.read(1000, 2.0, 0.15).bytes, row.replies);
    }
}

// What the program sees for 24 echo requests on a line with every kind of fault: the replies and
// whether each came late.
std::vector<std::pair<Bytes, bool>> FaultPattern(std::uint64_t seed) {
    auto o = Unpaced();
    o.line.faults.seed = seed;
    o.line.faults.drop = o.line.faults.delay = o.line.faults.cutShort = 0.15;
    o.line.faults.corrupt = o.line.faults.extra = 0.15;
    o.line.faults.delaySeconds = 0.2;
    sim::Simulator s(o);
    Port port(s.devicePath());
    std::vector<std::pair<Bytes, bool>> seen;
    for (std::uint16_t i = 0; i < 24; ++i) {
        const auto sent = port.write(Echo(i));
        const Received r = port.read(1000, 0.4, 0.03);
        seen.emplace_back(r.bytes,
                          !r.times.empty() && r.times[0] - *sent > std::chrono::milliseconds(100));
    }
    return seen;
}

TEST(SimFaults, OneSeedReproducesOneFaultPattern) {
    auto a = std::async(std::launch::async, FaultPattern, 7);
    auto b = std::async(std::launch::async, FaultPattern, 7);
    auto c = std::async(std::launch::async, FaultPattern, 8);
    const auto seven = a.get();
    EXPECT_EQ(b.get(), seven) << "same seed, same replies";
    EXPECT_NE(c.get(), seven) << "another seed, another pattern";
    std::set<std::string> kinds;
    for (std::uint16_t i = 0; i < seven.size(); ++i) {
        const Bytes& got = seven[i].first;
        kinds.insert(got.empty()            ? "dropped"
                     : got == Echo(i, 0xAA) ? "clean"
                     : got.size() != 36     ? (got.size() > 36 ? "extra" : "short")
                                            : "corrupt");
        if (seven[i].second) kinds.insert("late");
    }
    EXPECT_EQ(kinds,
              (std::set<std::string>{"clean", "corrupt", "dropped", "extra", "late", "short"}));
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
