#include "net/PacketQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace TRP = kestrava::transport::TRP;

using kestrava::net::PacketQueue;
using kestrava::net::SenderSlot;
using TRP::Priority;

namespace {
std::vector<std::uint8_t> packetOf(std::uint32_t length, std::uint8_t fill) { return std::vector<std::uint8_t>(length, fill); }
}  // namespace

TEST(PacketQueue, The257thPacketIsRefusedAndTheQueuedOnesLeaveInOrder) {
    auto queue = std::make_unique<PacketQueue>();
    for (int i = 0; i < 256; ++i) {
        const auto p = packetOf(10, static_cast<std::uint8_t>(i));
        ASSERT_TRUE(queue->push(p.data(), 10, Priority::Frame, i)) << i;
    }
    const auto extra = packetOf(10, 0xEE);
    EXPECT_FALSE(queue->push(extra.data(), 10, Priority::Frame, 999));
    EXPECT_EQ(queue->size(), 256u);
    auto slot = std::make_unique<SenderSlot>();
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(queue->pop(*slot));
        EXPECT_EQ(slot->data[0], static_cast<std::uint8_t>(i));
        EXPECT_EQ(slot->enqueueTime, i);
    }
    EXPECT_FALSE(queue->pop(*slot));
}

TEST(PacketQueue, IndicesWrapWithoutLosingOrRepeatingAPacket) {
    auto queue = std::make_unique<PacketQueue>();
    auto slot = std::make_unique<SenderSlot>();
    std::uint32_t next = 0, expected = 0;
    // Keep between 100 and 200 packets queued for 1000 packets: the ring wraps several times.
    while (expected < 1000) {
        while (next < 1000 && next - expected < 200) {
            const auto p = packetOf(4, 0);
            std::vector<std::uint8_t> q = p;
            q[0] = static_cast<std::uint8_t>(next);
            q[1] = static_cast<std::uint8_t>(next >> 8);
            ASSERT_TRUE(queue->push(q.data(), 4, Priority::Frame, next));
            ++next;
        }
        for (int k = 0; k < 100 && expected < next; ++k) {
            ASSERT_TRUE(queue->pop(*slot));
            EXPECT_EQ(slot->data[0] | (slot->data[1] << 8), static_cast<int>(expected & 0xFFFF));
            ++expected;
        }
    }
    EXPECT_EQ(queue->size(), 0u);
}

TEST(PacketQueue, LongPacketsAreCutTo2048AndSlotsAreZeroPastTheLength) {
    auto queue = std::make_unique<PacketQueue>();
    auto slot = std::make_unique<SenderSlot>();
    const auto big = packetOf(3000, 0xAB);
    ASSERT_TRUE(queue->push(big.data(), 3000, Priority::Frame, 1));
    const auto small = packetOf(5, 0xCD);
    ASSERT_TRUE(queue->push(small.data(), 5, Priority::Redundancy, 2));
    ASSERT_TRUE(queue->pop(*slot));
    EXPECT_EQ(slot->length, 2048u);
    EXPECT_EQ(slot->data[2047], 0xAB);
    ASSERT_TRUE(queue->pop(*slot));
    EXPECT_EQ(slot->length, 5u);
    EXPECT_EQ(slot->priority, Priority::Redundancy);
    for (std::uint32_t i = 5; i < SenderSlot::capacity; ++i) ASSERT_EQ(slot->data[i], 0) << i;
}

TEST(PacketQueue, HeadInfoCoversTheWholeBacklogAndClosingWakesTheWaiter) {
    auto queue = std::make_unique<PacketQueue>();
    EXPECT_EQ(queue->head().count, 0u);
    const auto p = packetOf(100, 1);
    queue->push(p.data(), 100, Priority::Redundancy, 10);
    queue->push(p.data(), 50, Priority::Frame, 20);
    queue->push(p.data(), 25, Priority::Frame, 30);
    const auto head = queue->head();
    EXPECT_EQ(head.count, 3u);
    EXPECT_EQ(head.priority, Priority::Redundancy);
    EXPECT_EQ(head.queuedBytes, 175u);
    EXPECT_EQ(head.newestEnqueueTime, 30);
    EXPECT_TRUE(queue->dropHead());
    EXPECT_EQ(queue->head().priority, Priority::Frame);
    EXPECT_TRUE(queue->waitForPacket());
    queue->close();
    EXPECT_FALSE(queue->waitForPacket());
    EXPECT_TRUE(queue->waitClosedFor(std::chrono::hours(1)));
}
