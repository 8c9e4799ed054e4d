// The receive notification: it comes only in event processing, with the bits that hold, and
// never once removed.
#include "serial_test_peer.h"

#include <tuple>

using namespace serial_test;

namespace {

constexpr unsigned char kSync = 85;

// The bits of each call; -1 for a call outside event processing or for another port.
std::vector<int> events;

void record(int port, int ev, void*) {
    events.push_back(port == kPort && insidePump ? ev : -1);
}

class ComNotification : public ComPort {
    void SetUp() override {
        events.clear();
        ComPort::SetUp();
    }
};

// 35 queued bytes give no call; the 36th gives one 0x8000 call, at the next event processing,
// not in the GetInQLen or ComRd that pulled the bytes in.
TEST_F(ComNotification, CountEventComesOnlyInEventProcessingOnceTheCountIsQueued) {
    ASSERT_EQ(InstallComCallback(kPort, kComEvRxCount, 36, kSync, record, nullptr), 0);
    send(pattern(35));
    ASSERT_EQ(waitInQLen(kPort, 35), 35);
    pumpFor(0.1);
    EXPECT_TRUE(events.empty()) << "35 bytes are below the notify count";
    send(pattern(1));
    ASSERT_EQ(waitInQLen(kPort, 36), 36);
    EXPECT_TRUE(events.empty());
    pumpUntil([] { return !events.empty(); }, 1.0);
    pumpFor(0.05);
    EXPECT_EQ(events, std::vector<int>{0x8000}) << "one call, no second without new bytes";

    send(pattern(36));
    Delay(0.05);
    EXPECT_EQ(ComRd(kPort, buf.data(), 36), 36); // pulls the new bytes in
    EXPECT_EQ(events.size(), 1u);
    pumpUntil([] { return events.size() > 1; }, 1.0);
    EXPECT_EQ(events, (std::vector<int>{0x8000, 0x8000}));
}

// Rows on an emptied queue: the notification's mask, the bytes the far side sends and the
// bits of the one call that follows (0: no call).
TEST_F(ComNotification, ReportsTheBitsThatHold) {
    Bytes sync3 = pattern(3), sync10 = pattern(10), sync36 = pattern(36);
    sync3[1] = sync10[2] = sync36[0] = kSync;
    const std::tuple<int, Bytes, int> rows[] = {
        {kComEvRxChar, sync3, kComEvRxChar},  {kComEvRxChar, pattern(3), 0},
        {kComEvRxCount, sync10, 0},           {0x8006, sync36, kComEvRxCount | kComEvRxChar},
        {0x8006, pattern(36), kComEvRxCount},
    };
    for (const auto& [mask, sent, expected] : rows) {
        SCOPED_TRACE(::testing::Message() << "mask " << mask << ", " << sent.size() << " bytes");
        ASSERT_EQ(FlushInQ(kPort), 0);
        ASSERT_EQ(InstallComCallback(kPort, mask, 36, kSync, record, nullptr), 0);
        events.clear();
        send(sent);
        pumpUntil([] { return !events.empty(); }, expected ? 1.0 : 0.2);
        pumpFor(0.05);
        EXPECT_EQ(events, expected ? std::vector<int>{expected} : std::vector<int>{});
        EXPECT_EQ(GetInQLen(kPort), static_cast<int>(sent.size())) << "the bytes did arrive";
    }
}

// Removed (mask 0, no handler) while a check and a transmit watch are pending.
TEST_F(ComNotification, RemovedNotificationIsNeverCalled) {
    Bytes frame = pattern(36);
    frame[1] = kSync;
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, kSync, record, nullptr), 0);
    send(frame);
    ASSERT_EQ(waitInQLen(kPort, 36), 36);
    ASSERT_EQ(ComWrt(kPort, frame.data(), 36), 36);
    ASSERT_EQ(InstallComCallback(kPort, 0, 36, kSync, nullptr, nullptr), 0);
    pumpFor(0.1);
    send(frame);
    pumpFor(0.1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(GetInQLen(kPort), 72);
}

} // namespace
