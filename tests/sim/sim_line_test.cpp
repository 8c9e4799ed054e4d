// The line endpoint: finding frames in a disturbed byte stream, reproducible faults, hang-ups.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>

namespace {

using namespace simtest;

sim::Simulator::Options unpaced() {
    sim::Simulator::Options o;
    o.line.pacing = false;
    return o;
}

Bytes echo(std::uint16_t marker, std::uint16_t word0 = 0) {
    return frame(5, {word0, marker, 2, 3});
}

Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SimLine, ResynchronisesOnTheNextFrame) {
    const Bytes e = echo(7);
    const struct {
        const char* name;
        std::vector<Bytes> writes; // 0.2 s apart, longer than the line's gap
        Bytes replies;
    } rows[] = {
        {"garbage before a frame", {cat({0x12, 0x34, 0xAA, 0xFF, 0x55}, e)}, echo(7, 0xAA)},
        {"garbage between frames",
         {cat(cat(echo(1), {0x99, 0x00, 0x13}), e)},
         cat(echo(1, 0xAA), echo(7, 0xAA))},
        {"partial frame, then a whole one", {Bytes(e.begin(), e.begin() + 20), e}, echo(7, 0xAA)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Simulator s(unpaced());
        Port port(s.devicePath());
        for (const Bytes& w : row.writes) {
            ASSERT_TRUE(port.write(w));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        EXPECT_EQ(port.read(1000, 2.0, 0.15).bytes, row.replies);
    }
}

// What the program sees for 24 echo requests on a line with every kind of fault.
std::vector<std::pair<Bytes, bool>> faultPattern(std::uint64_t seed) {
    auto o = unpaced();
    auto& f = o.line.faults;
    f.seed = seed;
    f.drop = f.delay = f.cutShort = f.corrupt = f.extra = 0.15;
    f.delaySeconds = 0.2;
    sim::Simulator s(o);
    Port port(s.devicePath());
    std::vector<std::pair<Bytes, bool>> seen; // reply bytes, late
    for (std::uint16_t i = 0; i < 24; ++i) {
        const auto sent = port.write(echo(i));
        const Received r = port.read(1000, 0.4, 0.03);
        seen.emplace_back(r.bytes,
                          !r.times.empty() && r.times[0] - *sent > std::chrono::milliseconds(100));
    }
    return seen;
}

TEST(SimFaults, OneSeedReproducesOneFaultPattern) {
    auto a = std::async(std::launch::async, faultPattern, 7);
    auto b = std::async(std::launch::async, faultPattern, 7);
    auto c = std::async(std::launch::async, faultPattern, 8);
    const auto seven = a.get();
    EXPECT_EQ(b.get(), seven) << "same seed, same replies";
    EXPECT_NE(c.get(), seven) << "another seed, another pattern";
    std::set<std::string> kinds;
    for (std::uint16_t i = 0; i < seven.size(); ++i) {
        const Bytes& got = seven[i].first;
        kinds.insert(got.empty()            ? "dropped"
                     : got == echo(i, 0xAA) ? "clean"
                     : got.size() > 36      ? "extra"
                     : got.size() < 36      ? "short"
                                            : "corrupt");
        if (seven[i].second) kinds.insert("late");
    }
    EXPECT_EQ(kinds,
              (std::set<std::string>{"clean", "corrupt", "dropped", "extra", "late", "short"}));
}

TEST(SimLine, HangUpEndsTheLine) {
    const struct {
        const char* name;
        unsigned afterReplies;
        double afterSeconds; // neither: hung up by a call
    } rows[] = {{"now", 0, 0}, {"after two replies", 2, 0}, {"after 0.3 s", 0, 0.3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto o = unpaced();
        o.line.faults.hangUpAfterReplies = row.afterReplies;
        o.line.faults.hangUpAfterSeconds = row.afterSeconds;
        sim::Simulator s(o);
        Port port(s.devicePath());
        const auto t0 = Clock::now();
        for (std::uint16_t i = 0; i < std::max(1u, row.afterReplies); ++i) {
            port.write(echo(i));
            EXPECT_EQ(port.read(36, 1.0).bytes, echo(i, 0xAA));
        }
        if (row.afterReplies == 0 && row.afterSeconds == 0) s.line().hangUpNow();
        // The next read ends with the hang-up, without a request being needed.
        EXPECT_TRUE(port.read(1, 2.0).hungUp);
        const double t = sim::secondsBetween(t0, Clock::now());
        EXPECT_GE(t, row.afterSeconds - 0.02);
        EXPECT_LT(t, row.afterSeconds + 0.5);
        EXPECT_FALSE(port.write(echo(9))) << "writes fail on a hung-up line";
    }
}

} // namespace
