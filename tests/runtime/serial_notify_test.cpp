// The receive notification: when it comes (only in event processing), with which bits, and
// that it stays away once removed.
#include "runtime/serial.h"
#include "serial_test_peer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace serial_test;

namespace {

constexpr int kPort = 6;
constexpr int kSync = 85;

struct Call {
    int port;
    int events;
    bool insidePump;
};

std::vector<Call> calls;

void record(int port, int events, void*) {
    calls.push_back({port, events, insidePump()});
}

class ComNotification : public ::testing::Test {
protected:
    sim::Pty pty;
    PortMapping mapping{kPort, pty.slavePath()};

    void SetUp() override {
        calls.clear();
        ASSERT_EQ(openLikeTheProgram(kPort), 0);
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    }
    void TearDown() override { CloseCom(kPort); }

    void expectAllInsidePump() {
        for (const Call& c : calls)
            EXPECT_TRUE(c.insidePump) << "events " << c.events;
    }
};

TEST_F(ComNotification, CountEventComesOnlyInEventProcessingOnceTheCountIsQueued) {
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, record, nullptr), 0);
    const Bytes frame = patternWithout(36, kSync);

    ASSERT_TRUE(sendAll(pty.masterFd(), frame.data(), 35));
    ASSERT_EQ(waitInQLen(kPort, 35), 35);
    pumpFor(0.1);
    EXPECT_TRUE(calls.empty()) << "35 bytes are below the notify count";

    ASSERT_TRUE(sendAll(pty.masterFd(), frame.data() + 35, 1));
    // Pulled in by a serial call: the call itself never delivers.
    ASSERT_EQ(waitInQLen(kPort, 36), 36);
    EXPECT_TRUE(calls.empty());
    pumpUntil([] { return !calls.empty(); }, 1.0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].port, kPort);
    EXPECT_EQ(calls[0].events, kComEvRxCount);
    pumpFor(0.05);
    EXPECT_EQ(calls.size(), 1u) << "no new bytes, no second call";
    expectAllInsidePump();
}

TEST_F(ComNotification, BytesPulledInByAReadAreNotifiedAtTheNextEventProcessing) {
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, record, nullptr), 0);
    const Bytes two = patternWithout(72, kSync);
    ASSERT_TRUE(sendAll(pty, two));
    Delay(0.05);
    unsigned char buf[36];
    EXPECT_EQ(ComRd(kPort, buf, 36), 36);
    EXPECT_TRUE(calls.empty());
    pumpUntil([] { return !calls.empty(); }, 1.0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].events, kComEvRxCount);
    expectAllInsidePump();
}

struct BitsCase {
    const char* name;
    int mask;
    Bytes sent;
    int expected; // 0: no call
};

// Test names and messages show the row's name.
void PrintTo(const BitsCase& c, std::ostream* os) {
    *os << c.name;
}

class ComNotificationBits : public ComNotification,
                            public ::testing::WithParamInterface<BitsCase> {};

TEST_P(ComNotificationBits, ReportTheEventsThatHold) {
    const BitsCase& c = GetParam();
    ASSERT_EQ(InstallComCallback(kPort, c.mask, 36, kSync, record, nullptr), 0);
    ASSERT_TRUE(sendAll(pty, c.sent));
    if (c.expected != 0) {
        pumpUntil([] { return !calls.empty(); }, 1.0);
        pumpFor(0.05);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].events, c.expected);
    } else {
        pumpFor(0.2);
        EXPECT_TRUE(calls.empty());
        EXPECT_EQ(GetInQLen(kPort), static_cast<int>(c.sent.size())) << "the bytes did arrive";
    }
    expectAllInsidePump();
}

Bytes withSync(std::size_t n, std::size_t at) {
    Bytes b = patternWithout(n, kSync);
    b[at] = kSync;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComNotificationBits,
    ::testing::Values(BitsCase{"EventCharacterAlone", kComEvRxChar, withSync(3, 1), kComEvRxChar},
                      BitsCase{"NoEventCharacter", kComEvRxChar, patternWithout(3, kSync), 0},
                      BitsCase{"CountAndCharacter", kComEvRxCount | kComEvRxChar, withSync(36, 0),
                               kComEvRxCount | kComEvRxChar},
                      BitsCase{"ProgramMaskFullFrameWithoutSync", 0x8006, patternWithout(36, kSync),
                               kComEvRxCount},
                      BitsCase{"ProgramMaskSyncOnly", 0x8006, withSync(5, 4), kComEvRxChar},
                      BitsCase{"CharacterNotAsked", kComEvRxCount, withSync(10, 2), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComNotification, TransmitEmptyComesOnceAfterAWriteAndOnlyInEventProcessing) {
    ASSERT_EQ(InstallComCallback(kPort, kComEvTxEmpty, 36, kSync, record, nullptr), 0);
    const Bytes frame = pattern(36);
    ASSERT_EQ(ComWrt(kPort, frame.data(), 36), 36);
    EXPECT_TRUE(calls.empty());
    pumpUntil([] { return !calls.empty(); }, 1.0);
    pumpFor(0.05);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].events, kComEvTxEmpty);
    EXPECT_EQ(receive(pty, 36), frame);
    expectAllInsidePump();
}

TEST_F(ComNotification, RemovedNotificationIsNeverCalledNotEvenForChecksAlreadyPending) {
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, kSync, record, nullptr), 0);
    const Bytes frame = withSync(36, 1);
    ASSERT_TRUE(sendAll(pty, frame));
    ASSERT_EQ(waitInQLen(kPort, 36), 36);           // a check is now pending
    ASSERT_EQ(ComWrt(kPort, frame.data(), 36), 36); // and a transmit-empty watch
    ASSERT_EQ(InstallComCallback(kPort, 0, 36, kSync, nullptr, nullptr), 0);
    pumpFor(0.1);
    ASSERT_TRUE(sendAll(pty, frame));
    pumpFor(0.1);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(GetInQLen(kPort), 72);

    // A null handler with a mask removes it just as well.
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, kSync, record, nullptr), 0);
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, kSync, nullptr, nullptr), 0);
    ASSERT_TRUE(sendAll(pty, frame));
    pumpFor(0.1);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ComNotification, InvalidSettingsAreRefused) {
    EXPECT_EQ(InstallComCallback(kPort, kComEvRxCount, 0, kSync, record, nullptr),
              kComErrInvalidParam);
    EXPECT_EQ(InstallComCallback(kPort, kComEvRxCount, 4097, kSync, record, nullptr),
              kComErrInvalidParam);
    EXPECT_EQ(InstallComCallback(kPort, kComEvRxChar, 36, 256, record, nullptr),
              kComErrInvalidParam);
}

// A handler like the program's: reads a frame, lets events run (another frame arrives
// meanwhile), and must not be entered again for the same port while it runs.
int depth = 0;
int maxDepth = 0;
int frames = 0;
int peerFd = -1;

void nestedReader(int port, int events, void*) {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (events & kComEvRxCount) {
        unsigned char buf[36];
        if (ComRd(port, buf, 36) == 36) ++frames;
        if (frames == 1) {
            const Bytes next = patternWithout(36, kSync);
            sendAll(peerFd, next.data(), next.size());
            pumpFor(0.05);
        }
    }
    --depth;
}

TEST_F(ComNotification, HandlerIsNotEnteredAgainWhileItRunsAndGetsTheNextFrameAfterwards) {
    depth = maxDepth = frames = 0;
    peerFd = pty.masterFd();
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, nestedReader, nullptr), 0);
    ASSERT_TRUE(sendAll(pty, patternWithout(36, kSync)));
    pumpUntil([] { return frames >= 2; }, 2.0);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(maxDepth, 1);
}

// Two frames arrive together; a handler that reads one frame per call gets both.
int framesRead = 0;
void oneFramePerCall(int port, int, void*) {
    unsigned char buf[36];
    if (ComRd(port, buf, 36) == 36) ++framesRead;
}

TEST_F(ComNotification, TwoFramesArrivingTogetherGiveTwoCallsToAOneFrameReader) {
    framesRead = 0;
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, oneFramePerCall, nullptr), 0);
    ASSERT_TRUE(sendAll(pty, patternWithout(72, kSync)));
    pumpUntil([] { return framesRead >= 2; }, 1.0);
    pumpFor(0.05);
    EXPECT_EQ(framesRead, 2);
    EXPECT_EQ(GetInQLen(kPort), 0);
}

int closingCalls = 0;
void closeOwnPort(int port, int, void*) {
    ++closingCalls;
    CloseCom(port);
}

TEST_F(ComNotification, HandlerMayCloseItsOwnPort) {
    closingCalls = 0;
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, closeOwnPort, nullptr), 0);
    ASSERT_TRUE(sendAll(pty, patternWithout(36, kSync)));
    pumpUntil([] { return closingCalls > 0; }, 1.0);
    ASSERT_TRUE(sendAll(pty, patternWithout(36, kSync)));
    pumpFor(0.1);
    EXPECT_EQ(closingCalls, 1);
    EXPECT_EQ(GetInQLen(kPort), kComErrNotOpen);
    ASSERT_EQ(openLikeTheProgram(kPort), 0);
}

} // namespace
