// The request/reply transactions against byte-exact peers: the firmware text, parameter reads,
// data blocks, the commands and their read-back. (The receive notification
// meets every split of the bytes in the live_rx fuzz target's replayed corpus.)
#include "app/shell.h"
#include "ground/EVOKVX12TWATCHV11.h"
#include "ground/status_texts.h"
#include "link/com232.h"
#include "params/pages.h"
#include "params/paramset.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "tests/link/peer.h"
#include "views/datablock.h"

#include <algorithm>

namespace evok {
namespace {

TEST(FirmwareText, OnlyTheLowByteOfEachWordUpToTheFirstZero) {
    std::vector<std::uint16_t> full;
    std::string thirtyTwo;
    for (int i = 0; i < 32; ++i) {
        full.push_back(static_cast<std::uint16_t>(0x7F00 + 'a' + i % 26));
        thirtyTwo += static_cast<char>('a' + i % 26);
    }
    const auto padded = [](std::vector<std::uint16_t> words) {
        words.resize(32, 0);
        return sim::encodeWords(words);
    };
    const struct {
        sim::Bytes reply;
        std::string text, status;
    } rows[] = {
        {padded({0x0041, 0x0042, 0x0000, 0x0043}), "AB", "AB"},
        {padded({0x4142, 0x4344}), "BD", "BD"},
        {sim::encodeWords(full), thirtyTwo, thirtyTwo},
        {{}, "", kTextFirmwareError},
        // More than 64 bytes queued is no firmware text, as an over-long data block is no block.
        {sim::encodeWords(std::vector<std::uint16_t>(33, 0x41)), "", kTextFirmwareTimeout},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        PeerProgram p([](sim::ScriptedPeer&) {}, row.reply);
        EXPECT_EQ(std::string(szVersion), row.text);
        EXPECT_EQ(op::Status(), row.status);
        EXPECT_EQ(powerA, 700);
    }
}

// Line noise queued before a request is thrown away: the reply is taken, not the noise.
TEST(Requests, NoiseQueuedBeforeARequestIsThrownAway) {
    const std::vector<std::uint16_t> block(64, 4321);
    const struct {
        const char* name;
        std::uint16_t order; // 0: nothing is sent
        sim::Bytes reply;
        std::function<void()> act;
        std::function<int()> shown; // where the operator meets word 1 of the reply
        int expected;
    } rows[] = {
        {"Get RAM", 2, op::Frame(2, {0, 4321}), [] { PushGET(RAM, 0); }, [] { return int{powerA}; },
         4321},
        {"Get EEPROM", 4, op::Frame(4, {0, 4321}), [] { PushGET(EEPROM, 0); },
         [] { return int{powerA}; }, 4321},
        {"file target", 0, {}, [] { PushGET(DATFILE, 0); }, [] { return int{powerA}; }, 700},
        {"live loop", 8, op::Frame(8, {0, 4321}),
         [] {
             op::At(0.3, [] { op::Click(panelHandle, PANEL_BTNSTOP); });
             op::Click(panelHandle, PANEL_BTNRUN);
         },
         [] { return op::IntValue(panelHandle, PANEL_VAL_ADCCHA); }, 4321},
        {"data block", 9, sim::encodeWords(block),
         [] {
             ReceiveNotificationOff();
             ReadData64(0, 2, 9);
             ReceiveNotificationOn();
         },
         [] { return int{yArrayA[1]}; }, 4321},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PeerProgram p([&](sim::ScriptedPeer& peer) {
            peer.pause(0.2).reply({0x01, 0x02, 0x03, 0x04});
            if (row.order) peer.expect(36, 5).reply(row.reply);
        });
        ASSERT_TRUE(op::WaitUntil([] { return GetInQLen(com) == 4; }, 2));
        row.act();
        op::Pump(0.1);
        const std::vector<std::uint16_t> orders = p.SentOrders();
        EXPECT_EQ(orders.empty() ? 0 : orders[0], row.order);
        EXPECT_EQ(row.shown(), row.expected);
    }
}

TEST(DataBlock, StoredAtItsOffsetOnlyAndATimeoutClearsTheFirst128Words) {
    // extra: bytes of line noise after the block; such a reply is not taken, and the status
    // says so even when an earlier block's success text is still in the buffer.
    std::vector<std::uint16_t> block(64);
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<std::uint16_t>(60000 + i);
    const struct {
        int offset;
        bool answered;
        int extra, result;
        const char* status;
    } rows[] = {{64, true, 0, 64, kTextBlockReceived},
                {192, true, 0, 64, kTextBlockReceived},
                {32, true, 0, 64, kTextBlockReceived},
                {64, true, 3, 0, kTextBlockTimeout},
                {128, false, 0, 0, kTextBlockTimeout}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.offset);
        PeerProgram p([&](sim::ScriptedPeer& peer) {
            peer.expect(36, 5);
            sim::Bytes reply = sim::encodeWords(block);
            reply.insert(reply.end(), static_cast<std::size_t>(row.extra), 0xA5);
            if (row.answered) peer.reply(reply, 0.05);
        });
        std::fill(yArrayA, yArrayA + kDataLen, 7);
        CopyText(szStatus, kTextBlockReceived); // from an earlier read
        ReceiveNotificationOff();
        const double start = Timer();
        EXPECT_EQ(ReadData64(row.offset, 2, 9), row.result);
        ReceiveNotificationOn();
        EXPECT_NEAR(Timer() - start, row.answered ? 0.1 : 1.5, row.answered ? 0.4 : 0.2);
        EXPECT_EQ(op::Status(), row.status);
        const bool stored = row.offset % 64 == 0 && row.answered && row.extra == 0;
        for (int i = 0; i < kDataLen; ++i) {
            int expected = 7;
            if (stored && i >= row.offset && i < row.offset + 64) expected = 60000 + i - row.offset;
            if (!row.answered && i < 128) expected = 0;
            ASSERT_EQ(yArrayA[i], expected) << "word " << i;
        }
        ASSERT_EQ(p.SentOrders(), std::vector<std::uint16_t>{9});
        EXPECT_EQ(op::Word(p.Sent()[0], 0), row.offset);
        EXPECT_EQ(op::Word(p.Sent()[0], 1), 2);
    }
}

TEST(Commands, ReplyThenReadBackOrTimeout) {
    const struct {
        const char* name;
        int button;
        Script script;
        std::vector<std::uint16_t> orders; // what the program sent
        const char* midway;                // status 0.7 s after the click, while the command waits
        const char* status;
        unsigned short powerA;
    } rows[] = {
        {"teach, no reply",
         PANEL_BTNTEACH,
         [](sim::ScriptedPeer& p) { p.expect(36, 5).pause(2); },
         {6},
         kTextTeached,
         kTextCommandTimeout,
         700},
        {"refresh, read-back unanswered",
         PANEL_BTNREFRESH,
         [](sim::ScriptedPeer& p) {
             p.expect(36, 5).reply(op::Frame(11, {0x00AA}), 0.1).expect(36, 5).pause(2);
         },
         {11, 2},
         kTextWaitingPara,
         kTextCommandTimeout,
         700},
        {"reset, reply and read-back",
         PANEL_BTNRESET,
         [](sim::ScriptedPeer& p) {
             p.expect(36, 5).reply(op::Frame(10, {0x00AA}), 0.3);
             p.expect(36, 5).reply(op::Frame(2, {0, 1234, 800, 400, 999}));
         },
         {10, 2},
         nullptr,
         kTextParaReceived,
         1234},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PeerProgram p(row.script);
        std::string midway;
        if (row.midway) op::At(0.7, [&] { midway = op::Status(); });
        op::Click(panelHandle, row.button);
        if (row.midway) {
            EXPECT_EQ(midway, row.midway);
        }
        EXPECT_EQ(op::Status(), row.status);
        EXPECT_EQ(powerA, row.powerA);
        // The values read back reach the variables, not the panels.
        EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 700);
        EXPECT_EQ(p.SentOrders(), row.orders);
        EXPECT_EQ(op::Word(p.Sent()[0], 1), 700); // the command carries the panels' page-0 words
    }
}

} // namespace
} // namespace evok
