// The simulated controller answers every order code over a real pseudo-terminal with the reply
// form and content of the order table; the state a reply shows carries over from row to row.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

namespace {

using namespace simtest;
using W = std::vector<std::uint16_t>;

TEST(SimOrders, RepliesAsTheOrderTableGives) {
    sim::Simulator::Options options;
    options.line.pacing = false;
    sim::Simulator s(options);
    // Values 1000 + i; the next measurement goes to entry 253.
    sim::RingBuffer ring;
    for (std::size_t i = 0; i < ring.values.size(); ++i)
        ring.values[i] = static_cast<std::uint16_t>(1000 + i);
    ring.index = 253;
    s.model().setRing(ring);
    s.model().freezeMeasurement({777, 640, 823, 30, 90, 60, 1, 0, 1, 61});
    // After two measurements: delta-T 60 in entries 253 and 254, the index wrapped to 0.
    W ringAfter(ring.values.begin(), ring.values.end());
    ringAfter[253] = ringAfter[254] = 60;
    ringAfter.push_back(0);
    const auto block = [&](int from) {
        return sim::encodeWords(W(ringAfter.begin() + from, ringAfter.begin() + from + 64));
    };
    W fw(32, 0); // character i in the low byte of word i
    std::ranges::copy(std::string_view(sim::ControllerModel::kDefaultFirmware), fw.begin());
    // The simulator's start values (RAM and EEPROM) and the factory values.
    const W start = {0, 520, 880, 620, 940, 64, 1, 120, 16, 1, 0, 0, 1, 0, 450, 0};
    const W start1 = {1, 16, 2, 300, 0, 1, 250, 4, 0, 1, 0, 700, 0, 3, 12, 0};
    const W factory = {0, 500, 900, 600, 950, 0, 1, 100, 8, 1, 0, 0, 0, 0, 500, 0};
    const W params = {0, 501, 902, 603, 954, 5, 0, 107, 8, 9, 1, 1, 1, 1, 514, 15};
    const W written = {0, 11, 22, 33, 44, 55, 66, 77, 88, 99, 110, 121, 132, 143, 154, 65535};
    const W ack = {0x00AA, 501, 902, 603, 954, 5, 0, 107, 8, 9, 1, 1, 1, 1, 514, 15};
    const W eeprom = {0, 12, 22, 33, 44, 55, 66, 77, 88, 99, 110, 121, 132, 143, 154, 65535};
    // Teach takes the signal level (777) as the trigger level, word 4.
    const W taught = {0, 12, 22, 33, 777, 55, 66, 77, 88, 99, 110, 121, 132, 143, 154, 65535};
    const struct {
        const char* name;
        Bytes request, reply; // no reply: the controller stays silent
    } rows[] = {
        {"read RAM page 0", frame(2, params), frame(2, start)},
        {"read RAM page 1", frame(2, {1}), frame(2, start1)},
        {"write RAM", frame(1, written), {}},
        {"RAM holds the write", frame(2, {0}), frame(2, written)},
        {"EEPROM does not", frame(4, params), frame(4, start)},
        {"write EEPROM", frame(3, eeprom), {}},
        {"EEPROM holds the write", frame(4, {0}), frame(4, eeprom)},
        {"refresh", frame(11, params), frame(11, ack)},
        {"RAM is the EEPROM", frame(2, {0}), frame(2, eeprom)},
        {"teach", frame(6, params), frame(6, ack)},
        {"trigger level is the signal", frame(2, {0}), frame(2, taught)},
        {"reset", frame(10, params), frame(10, ack)},
        {"RAM holds factory values", frame(2, {0}), frame(2, factory)},
        {"echo", frame(5, params), frame(5, ack)},
        {"firmware text", frame(7, params), sim::encodeWords(fw)},
        {"measurement", frame(8, params), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})},
        {"second measurement", frame(8), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})},
        {"ring block 0", frame(9, {0, 2}), block(0)},
        {"ring block 64", frame(9, {64, 2}), block(64)},
        {"ring block 128", frame(9, {128, 2}), block(128)},
        {"ring block 192", frame(9, {192, 2}), block(192)},
        {"information block", frame(20, {0x5678, 0x1234}), frame(20, {0x00AA, 0x1234})},
        {"unknown order 12", frame(12), {}},
        {"unknown order 65535", frame(0xFFFF), {}},
    };
    Port port(s.devicePath());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(port.write(row.request));
        // The reply and nothing after it.
        EXPECT_EQ(port.read(row.reply.size() + 1, row.reply.empty() ? 0.15 : 2.0, 0.03).bytes,
                  row.reply);
    }
    EXPECT_EQ(s.model().requestCount(), std::size(rows));
}

} // namespace
