// The simulated controller as the operator program meets it: every order code over a real
// pseudo-terminal, answered with the reply form and content the order table gives.
#include "serial_client.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace simtest;
using W = std::vector<std::uint16_t>;

// The simulator's documented start values (RAM and EEPROM) and the factory defaults.
const W kStartPage0 = {0, 520, 880, 620, 940, 64, 1, 120, 16, 1, 0, 0, 1, 0, 450, 0};
const W kStartPage1 = {1, 16, 2, 300, 0, 1, 250, 4, 0, 1, 0, 700, 0, 3, 12, 0};
const W kFactoryPage0 = {0, 500, 900, 600, 950, 0, 1, 100, 8, 1, 0, 0, 0, 0, 500, 0};
// What the program puts into words 1-15 of its requests (its own parameter values).
const W kProgramParams = {0, 501, 902, 603, 954, 5, 0, 107, 8, 9, 1, 1, 1, 1, 514, 15};

const sim::Measurement kFrozen{777, 640, 823, 30, 90, 60, 1, 0, 1, 61};

W with(W w, std::size_t at, std::uint16_t v) {
    w.at(at) = v;
    return w;
}

Bytes firmwareReply(const std::string& text) {
    Bytes out(64, 0);
    for (std::size_t i = 0; i < text.size(); ++i)
        out[2 * i + 1] = static_cast<std::uint8_t>(text[i]);
    return out;
}

sim::RingBuffer testRing(std::uint16_t index) {
    sim::RingBuffer r;
    for (std::size_t i = 0; i < r.values.size(); ++i)
        r.values[i] = static_cast<std::uint16_t>(1000 + i);
    r.index = index;
    return r;
}

// The 256 words of a ring read: values, then the index.
W ringWords(const sim::RingBuffer& r) {
    W w(r.values.begin(), r.values.end());
    w.push_back(r.index);
    return w;
}

Bytes block(const W& all, std::size_t from) {
    Bytes out;
    for (std::size_t i = from; i < from + 64; ++i) {
        const std::uint16_t v = i < all.size() ? all[i] : 0;
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    return out;
}

sim::RingBuffer afterMeasurement(sim::RingBuffer r, std::uint16_t dt) {
    r.values[r.index] = dt;
    r.index = static_cast<std::uint16_t>((r.index + 1) % 255);
    return r;
}

struct Exchange {
    Bytes request;
    Bytes reply; // empty: the controller must stay silent
};

struct OrderCase {
    std::string name;
    std::function<void(sim::ControllerModel&)> prepare;
    std::vector<Exchange> exchanges;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<OrderCase> orderCases() {
    const auto ring = testRing(200);
    const auto wrapRing = testRing(254);
    const W written0 = {0, 11, 22, 33, 44, 55, 66, 77, 88, 99, 110, 121, 132, 143, 154, 65535};
    const W written1 = {1, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5};
    const W zeros1 = {1};
    return {
        {"ReadRamPage0GivesStartValues", {}, {{frame(2, kProgramParams), frame(2, kStartPage0)}}},
        {"ReadRamPage1GivesPage1", {}, {{frame(2, {1}), frame(2, kStartPage1)}}},
        {"ReadEepromPage0GivesStartValues",
         {},
         {{frame(4, kProgramParams), frame(4, kStartPage0)}}},
        {"ReadUnknownPageGivesEmptyPage", {}, {{frame(2, {7}), frame(2, {7})}}},
        {"WriteRamPage0IsSilentAndStored",
         {},
         {{frame(1, written0), {}},
          {frame(2, {0}), frame(2, written0)},
          {frame(4, {0}), frame(4, kStartPage0)}}},
        {"WriteRamPage1IsStored",
         {},
         {{frame(1, written1), {}}, {frame(2, {1}), frame(2, written1)}}},
        {"WriteEepromIsSilentAndLeavesRam",
         {},
         {{frame(3, written0), {}},
          {frame(3, zeros1), {}},
          {frame(4, {0}), frame(4, written0)},
          {frame(4, {1}), frame(4, zeros1)},
          {frame(2, {0}), frame(2, kStartPage0)}}},
        {"EchoAnswersAAAndEchoesWords",
         {},
         {{frame(5, kProgramParams), frame(5, with(kProgramParams, 0, 0x00AA))}}},
        {"TeachAcksAndTakesSignalAsTriggerLevel",
         [](sim::ControllerModel& m) { m.freezeMeasurement(kFrozen); },
         {{frame(6, kProgramParams), frame(6, with(kProgramParams, 0, 0x00AA))},
          {frame(2, {0}), frame(2, with(kStartPage0, 4, 777))}}},
        {"ResetAcksAndRestoresFactoryDefaultsInRam",
         {},
         {{frame(10, kProgramParams), frame(10, with(kProgramParams, 0, 0x00AA))},
          {frame(2, {0}), frame(2, kFactoryPage0)},
          {frame(2, {1}), frame(2, {1})},
          {frame(4, {0}), frame(4, kStartPage0)}}},
        {"RefreshAcksAndCopiesEepromToRam",
         {},
         {{frame(1, written0), {}},
          {frame(11, kProgramParams), frame(11, with(kProgramParams, 0, 0x00AA))},
          {frame(2, {0}), frame(2, kStartPage0)}}},
        {"FirmwareTextInLowBytes",
         {},
         {{frame(7, kProgramParams), firmwareReply("EVOK-VX12 SIM FW 2.07")}}},
        {"FirmwareTextOf32CharactersHasNoEnd",
         [](sim::ControllerModel& m) { m.setFirmware("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345-cut"); },
         {{frame(7, {}), firmwareReply("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345")}}},
        {"MeasurementFrameCarriesWords0To9",
         [](sim::ControllerModel& m) { m.freezeMeasurement(kFrozen); },
         {{frame(8, kProgramParams), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})}}},
        {"RingBufferInFourBlocks",
         [ring](sim::ControllerModel& m) { m.setRing(ring); },
         {{frame(9, {0, 2}), block(ringWords(ring), 0)},
          {frame(9, {64, 2}), block(ringWords(ring), 64)},
          {frame(9, {128, 2}), block(ringWords(ring), 128)},
          {frame(9, {192, 2}), block(ringWords(ring), 192)}}},
        {"MeasurementWritesDeltaTIntoRing",
         [ring](sim::ControllerModel& m) {
             m.setRing(ring);
             m.freezeMeasurement(kFrozen);
         },
         {{frame(8, {}), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})},
          {frame(8, {}), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})},
          {frame(9, {192, 2}),
           block(ringWords(afterMeasurement(afterMeasurement(ring, 60), 60)), 192)}}},
        {"RingIndexWrapsFrom254To0",
         [wrapRing](sim::ControllerModel& m) {
             m.setRing(wrapRing);
             m.freezeMeasurement(kFrozen);
         },
         {{frame(8, {}), frame(8, {777, 640, 823, 30, 90, 60, 1, 0, 1, 61})},
          {frame(9, {192, 2}), block(ringWords(afterMeasurement(wrapRing, 60)), 192)},
          {frame(9, {0, 2}), block(ringWords(afterMeasurement(wrapRing, 60)), 0)}}},
        {"OddBlockOffsetGivesWordsFromThere",
         [ring](sim::ControllerModel& m) { m.setRing(ring); },
         {{frame(9, {32, 2}), block(ringWords(ring), 32)}}},
        {"BlockOffsetBeyondArrayIsKeptInside",
         [ring](sim::ControllerModel& m) { m.setRing(ring); },
         {{frame(9, {250, 2}), block(ringWords(ring), 192)},
          {frame(9, {0xFFFF, 2}), block(ringWords(ring), 192)}}},
        {"UnknownDataSourceGivesZeros", {}, {{frame(9, {0, 7}), Bytes(128, 0)}}},
        {"InfoBlockAcked", {}, {{frame(20, {0x5678, 0x1234}), frame(20, {0x00AA, 0x1234})}}},
        {"UnknownOrdersAreSilent",
         {},
         {{frame(0, {}), {}},
          {frame(12, {}), {}},
          {frame(19, {}), {}},
          {frame(21, {}), {}},
          {frame(0xFFFF, {}), {}},
          {frame(5, {}), frame(5, {0x00AA})}}},
    };
}

class SimOrderTable : public testing::TestWithParam<OrderCase> {};

TEST_P(SimOrderTable, RepliesAsTheOrderTableGives) {
    const OrderCase& c = GetParam();
    sim::Simulator::Options options;
    options.line.pacing = false;
    sim::Simulator simulator(options);
    if (c.prepare) c.prepare(simulator.model());
    SerialClient port(simulator.devicePath());

    for (std::size_t i = 0; i < c.exchanges.size(); ++i) {
        const Exchange& x = c.exchanges[i];
        SCOPED_TRACE("exchange " + std::to_string(i));
        ASSERT_TRUE(port.write(x.request));
        if (x.reply.empty()) {
            const Received r = port.readUntilQuiet(0.15, 0.05);
            EXPECT_TRUE(r.bytes.empty()) << "unexpected reply of " << r.bytes.size() << " bytes";
            continue;
        }
        const Received r = port.read(x.reply.size(), 2.0);
        ASSERT_EQ(r.bytes.size(), x.reply.size());
        EXPECT_EQ(words(r.bytes), words(x.reply));
        // Nothing follows the reply.
        EXPECT_TRUE(port.readUntilQuiet(0.03, 0.01).bytes.empty());
    }
    EXPECT_EQ(simulator.model().requestCount(), c.exchanges.size());
}

INSTANTIATE_TEST_SUITE_P(SimOrders, SimOrderTable, testing::ValuesIn(orderCases()),
                         [](const auto& info) { return info.param.name; });

TEST(SimControllerModel, InfoBlockStoresBothWords) {
    sim::Simulator::Options options;
    options.line.pacing = false;
    sim::Simulator simulator(options);
    SerialClient port(simulator.devicePath());
    port.write(frame(20, {0x5678, 0x1234}));
    ASSERT_EQ(port.read(36, 2.0).bytes.size(), 36u);
    EXPECT_EQ(simulator.model().infoBlock(), (std::array<std::uint16_t, 2>{0x5678, 0x1234}));
    EXPECT_EQ(simulator.model().infoBlockWrites(), 1u);
}

TEST(SimControllerModel, RequestLogKeepsTheNewest) {
    sim::ControllerModel::Options o;
    o.requestLogLimit = 2;
    sim::ControllerModel model(o);
    for (std::uint16_t marker : {1, 2, 3})
        model.handle(frame(5, {0, marker}));
    const auto log = model.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes, frame(5, {0, 2}));
    EXPECT_EQ(log[1].bytes, frame(5, {0, 3}));
}

} // namespace
