// The request/reply transactions against byte-exact peers: firmware texts, data blocks, the
// commands and their read-back, the flash block, and the receive notification.
#include "app/EVOKVX12TWATCHV11.h"
#include "app/shell.h"
#include "link/com232.h"
#include "params/paramset.h"
#include "runtime/serial.h"
#include "runtime/timing.h"
#include "tests/support/operator.h"
#include "tests/support/program.h"
#include "views/datablock.h"

#include <algorithm>

namespace evok {
namespace {

const std::vector<std::uint16_t> kPeerPage0 = {700, 800, 400, 900, 10, 0,   50, 4,
                                               2,   1,   1,   0,   1,  300, 2};

// A peer that answers the start-up, then runs `more` (steps added by the test).
struct PeerProgram {
    explicit PeerProgram(const std::function<void(sim::ScriptedPeer&)>& more,
                         const sim::Bytes& firmware = sim::encodeFirmwareText("PEER FW 1.0")) {
        op::AnswerStartUp(peer, kPeerPage0, firmware);
        more(peer);
        peer.start();
        program = std::make_unique<op::Program>(peer.devicePath());
        startBytes = 4 * 36;
    }
    // What the program wrote after the start-up.
    sim::Bytes Sent() const {
        sim::Bytes all = peer.receivedBytes();
        return sim::Bytes(all.begin() + std::min(all.size(), startBytes), all.end());
    }
    sim::ScriptedPeer peer;
    std::unique_ptr<op::Program> program;
    std::size_t startBytes;
};

TEST(FirmwareText, OnlyTheLowByteOfEachWordUpToTheFirstZero) {
    sim::Bytes ab = sim::encodeWords(std::vector<std::uint16_t>{0x0041, 0x0042, 0x0000, 0x0043});
    ab.resize(64, 0);
    sim::Bytes bd = sim::encodeWords(std::vector<std::uint16_t>{0x4142, 0x4344});
    bd.resize(64, 0);
    sim::Bytes full;
    std::string thirtyTwo;
    for (int i = 0; i < 32; ++i) {
        full.push_back(0x7F);
        full.push_back(static_cast<std::uint8_t>('a' + i % 26));
        thirtyTwo += static_cast<char>('a' + i % 26);
    }
    struct Row {
        const char* name;
        sim::Bytes reply;
        std::string text;
    } rows[] = {{"AB", ab, "AB"}, {"BD", bd, "BD"}, {"32 characters", full, thirtyTwo}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PeerProgram p([](sim::ScriptedPeer&) {}, row.reply);
        ASSERT_TRUE(p.peer.waitDone(5));
        EXPECT_EQ(std::string(szVersion), row.text);
        EXPECT_EQ(op::Status(), row.text);
        EXPECT_EQ(powerA, 700);
    }
}

TEST(FirmwareText, NoReplyReportsTheFailure) {
    sim::ScriptedPeer peer;
    peer.expect(36, 5).reply(op::Frame(5, {0x00AA}));
    peer.expect(36, 5).reply(op::Frame(2, {0, 1}));
    peer.expect(36, 5).reply(op::Frame(2, {1}));
    peer.expect(36, 5);
    peer.start();
    op::Program program(peer.devicePath());
    EXPECT_EQ(op::Status(), "Error reading firmware-info!");
    EXPECT_EQ(std::string(szVersion), "");
}

TEST(ParameterRead, FileTargetSendsNothingAndChangesNothing) {
    PeerProgram p([](sim::ScriptedPeer& peer) { peer.pause(0.3); });
    ASSERT_TRUE(p.peer.waitDone(5));
    const std::string status = op::Status();
    const unsigned short before = powerA;
    PushGET(DATFILE, 0);
    op::Pump(0.2);
    EXPECT_TRUE(p.Sent().empty());
    EXPECT_EQ(op::Status(), status);
    EXPECT_EQ(powerA, before);
}

TEST(DataBlock, TimeoutClearsTheFirst128WordsOnly) {
    PeerProgram p([](sim::ScriptedPeer& peer) { peer.expect(36, 5); });
    std::fill(yArrayA, yArrayA + kDataLen, 7);
    ReceiveNotificationOff();
    const double start = Timer();
    EXPECT_EQ(ReadData64(128, 2, 9), 0);
    const double took = Timer() - start;
    ReceiveNotificationOn();
    EXPECT_NEAR(took, 1.5, 0.2);
    EXPECT_EQ(op::Status(), "Timeout-RS-232 while reading 64 data-words!");
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(yArrayA[i], 0) << "word " << i;
    for (int i = 128; i < kDataLen; ++i)
        ASSERT_EQ(yArrayA[i], 7) << "word " << i;
    // The request: order 9, offset, source.
    const sim::Bytes sent = p.Sent();
    ASSERT_EQ(sent.size(), 36u);
    EXPECT_EQ(op::OrderOf(sent), 9);
    EXPECT_EQ(op::Word(sent, 0), 128);
    EXPECT_EQ(op::Word(sent, 1), 2);
}

TEST(DataBlock, ReplyIsStoredAtItsOffsetAndOtherOffsetsStoreNothing) {
    std::vector<std::uint16_t> block(64);
    for (int i = 0; i < 64; ++i)
        block[i] = static_cast<std::uint16_t>(60000 + i);
    struct Row {
        int offset;
        bool stored;
    } rows[] = {{64, true}, {192, true}, {32, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.offset);
        PeerProgram p([&](sim::ScriptedPeer& peer) {
            peer.expect(36, 5).reply(sim::encodeWords(block), 0.05);
        });
        std::fill(yArrayA, yArrayA + kDataLen, 1);
        ReceiveNotificationOff();
        EXPECT_EQ(ReadData64(row.offset, 0, 9), 64);
        ReceiveNotificationOn();
        EXPECT_EQ(op::Status(), "Data[64] block received!");
        for (int i = 0; i < kDataLen; ++i) {
            bool inBlock = row.stored && i >= row.offset && i < row.offset + 64;
            ASSERT_EQ(yArrayA[i], inBlock ? 60000 + i - row.offset : 1) << "word " << i;
        }
    }
}

TEST(Commands, TeachWithoutReplyTimesOutAndReadsNothingBack) {
    PeerProgram p([](sim::ScriptedPeer& peer) { peer.expect(36, 5).pause(2.0); });
    std::string midway;
    op::At(0.7, [&] { midway = op::Status(); });
    const double start = Timer();
    op::Click(panelHandle, PANEL_BTNTEACH);
    EXPECT_GT(Timer() - start, 1.4);
    EXPECT_EQ(midway, "New setpoint value teached!");
    EXPECT_EQ(op::Status(), "Timeout RS-232!!");
    ASSERT_TRUE(p.peer.waitDone(5));
    const sim::Bytes sent = p.Sent();
    ASSERT_EQ(sent.size(), 36u); // the command only, no read-back
    EXPECT_EQ(op::OrderOf(sent), 6);
    EXPECT_EQ(op::Word(sent, 1), 700); // page-0 words from the panels
}

TEST(Commands, RefreshWhoseReadBackGetsNoReplyEndsOnTheTimeout) {
    PeerProgram p([](sim::ScriptedPeer& peer) {
        peer.expect(36, 5).reply(op::Frame(11, {0x00AA}), 0.1);
        peer.expect(36, 5).pause(2.0);
    });
    op::Click(panelHandle, PANEL_BTNREFRESH);
    EXPECT_EQ(op::Status(), "Timeout RS-232!!");
    ASSERT_TRUE(p.peer.waitDone(5));
    const sim::Bytes sent = p.Sent();
    ASSERT_EQ(sent.size(), 72u);
    EXPECT_EQ(op::OrderOf(sent), 11);
    EXPECT_EQ(op::OrderOf(sim::Bytes(sent.begin() + 36, sent.end())), 2);
}

TEST(Commands, TeachReadsPageZeroBackIntoTheVariablesNotThePanels) {
    PeerProgram p([](sim::ScriptedPeer& peer) {
        peer.expect(36, 5).reply(op::Frame(6, {0x00AA}), 0.3);
        peer.expect(36, 5).reply(op::Frame(2, {0, 1234, 800, 400, 999}));
    });
    op::Click(panelHandle, PANEL_BTNTEACH);
    EXPECT_EQ(op::Status(), "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(powerA, 1234);
    EXPECT_EQ(triglvlA, 999);
    EXPECT_EQ(op::IntValue(panelHandle, PANEL_NUM_POWERA), 700);
}

TEST(FlashBlock, ResultsAndTexts) {
    sim::Bytes wrong = op::Frame(20, {0x0055});
    struct Row {
        const char* name;
        sim::Bytes reply;
        int result;
        const char* text;
    } rows[] = {
        {"accepted", op::Frame(20, {0x00AA}), 1, "ok:  SendInfoBlockToFlash!"},
        {"wrong echo", wrong, -2, "error : unknown F801 echo at order-20!"},
        {"short", sim::Bytes(20, 0xAA), -1, "Timeout: SendInfoBlockToFlash < 36 Bytes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PeerProgram p([&](sim::ScriptedPeer& peer) { peer.expect(36, 5).reply(row.reply); });
        const std::string status = op::Status();
        EXPECT_EQ(SendInfoBlockToFlash(0x1234, 0xBEEF), row.result);
        EXPECT_STREQ(szStatus, row.text);
        EXPECT_EQ(op::Status(), status); // the text is not shown
        const sim::Bytes sent = p.Sent();
        ASSERT_EQ(sent.size(), 36u);
        EXPECT_EQ(op::OrderOf(sent), 20);
        EXPECT_EQ(op::Word(sent, 0), 0xBEEF);
        EXPECT_EQ(op::Word(sent, 1), 0x1234);
    }
}

TEST(ReceiveNotification, EventCharacterAloneReadsNothing_FortyBytesGiveOneFrame) {
    sim::Bytes forty = op::Frame(0x0102, {9, 8, 7, 65535});
    forty.insert(forty.end(), {0x55, 0x55, 0x55, 0x55});
    PeerProgram p([&](sim::ScriptedPeer& peer) {
        peer.pause(0.2).reply(sim::Bytes{0x55, 0x01, 0x55}).pause(0.6).reply(forty);
    });
    rx_flag = 0;
    graphrefresh = 0;
    // Three bytes with the event character: nothing is read, no flag is raised.
    ASSERT_TRUE(op::WaitUntil([] { return GetInQLen(com) == 3; }, 2));
    op::Pump(0.1);
    EXPECT_EQ(rx_flag, 0);
    EXPECT_EQ(graphrefresh, 0);
    EXPECT_EQ(GetInQLen(com), 3);
    FlushInQ(com);

    ttick = 5;
    ASSERT_TRUE(op::WaitUntil([] { return rx_flag == 1; }, 2));
    EXPECT_EQ(graphrefresh, 1);
    EXPECT_EQ(ttick, 0);
    EXPECT_EQ(order, 0x0102);
    EXPECT_EQ(pp[0], 9);
    EXPECT_EQ(pp[3], 65535);
    EXPECT_EQ(pp[4], 0);
    // The four bytes behind the frame are discarded.
    EXPECT_EQ(GetInQLen(com), 0);
}

} // namespace
} // namespace evok
