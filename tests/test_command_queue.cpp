// The 120-slot ring: empty and full are told by the head slot, every slot is usable, and both
// indexes wrap after slot 119.
#include <xob/GXob.h>

#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A log-entry-sized record whose first payload byte tells it apart.
SClientToDevXob recordWithTag(std::uint8_t tag, std::uint16_t length = 11) {
    SClientToDevXob record;
    std::memset(&record, 0, sizeof record);
    record.ui16Length = length;
    reinterpret_cast<std::uint8_t*>(&record)[12] = tag;
    return record;
}

std::uint8_t headTag(const SClientToDevXobQueue& ring) { return ring.getElementBuffer()[12]; }

TEST(CommandQueue, FreshRingIsEmptyAndStoresAnExactSizeCopy) {
    SClientToDevXobQueue ring;
    EXPECT_TRUE(ring.isEmpty());
    EXPECT_FALSE(ring.isFull());
    EXPECT_EQ(ring.getElementSize(), 0u);
    EXPECT_EQ(ring.getElementBuffer(), nullptr);
    EXPECT_EQ(ring.deleteElement(), 0);
    EXPECT_EQ(ring.writeElement(nullptr), 0);
    EXPECT_TRUE(ring.isEmpty());

    SClientToDevXob record = recordWithTag(7, 6);
    ASSERT_EQ(ring.writeElement(&record), 1);
    record.ui16Length = 99;  // the copy is independent of the caller's buffer
    EXPECT_EQ(ring.getElementSize(), 8u);
    EXPECT_EQ(ring.getElementBuffer()[0], 6);
    EXPECT_FALSE(ring.isEmpty());
}

TEST(CommandQueue, HoldsAllSlotsThenRefusesWithoutChange) {
    SClientToDevXobQueue ring;
    for (unsigned i = 0; i < SClientToDevXobQueue::kSlots; ++i) {
        SClientToDevXob record = recordWithTag(static_cast<std::uint8_t>(i));
        ASSERT_EQ(ring.writeElement(&record), 1) << "slot " << i;
    }
    EXPECT_TRUE(ring.isFull());
    SClientToDevXob extra = recordWithTag(200);
    EXPECT_EQ(ring.writeElement(&extra), 0);
    EXPECT_EQ(headTag(ring), 0);

    // One removal frees slot 0; the next record goes there and the ring is full again.
    EXPECT_EQ(ring.deleteElement(), 1);
    EXPECT_FALSE(ring.isFull());
    EXPECT_EQ(headTag(ring), 1);
    EXPECT_EQ(ring.writeElement(&extra), 1);
    EXPECT_TRUE(ring.isFull());

    // Draining yields the records in order, the wrapped one last.
    for (unsigned i = 1; i < SClientToDevXobQueue::kSlots; ++i) {
        ASSERT_EQ(headTag(ring), i);
        ASSERT_EQ(ring.deleteElement(), 1);
    }
    EXPECT_EQ(headTag(ring), 200);
    EXPECT_EQ(ring.deleteElement(), 1);
    EXPECT_TRUE(ring.isEmpty());
}

TEST(CommandQueue, RefusesALengthFieldLongerThanARecord) {
    SClientToDevXobQueue ring;
    for (const std::uint16_t length : {std::uint16_t{0xFFFF}, std::uint16_t{2055}}) {
        SClientToDevXob record = recordWithTag(1, length);
        EXPECT_EQ(ring.writeElement(&record), 0) << length;
        EXPECT_TRUE(ring.isEmpty()) << length;
    }
    SClientToDevXob longest = recordWithTag(2, 2054);
    ASSERT_EQ(ring.writeElement(&longest), 1);
    EXPECT_EQ(ring.getElementSize(), 2056u);
}

TEST(CommandQueue, KeepsOrderAcrossManyWrapArounds) {
    SClientToDevXobQueue ring;
    unsigned written = 0;
    unsigned read = 0;
    // Uneven batches walk both indexes across the 119 -> 0 wrap many times.
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 7 + round % 5; ++i, ++written) {
            SClientToDevXob record = recordWithTag(static_cast<std::uint8_t>(written));
            ASSERT_EQ(ring.writeElement(&record), 1);
        }
        for (int i = 0; i < 6 + round % 5; ++i, ++read) {
            ASSERT_EQ(headTag(ring), static_cast<std::uint8_t>(read));
            ASSERT_EQ(ring.deleteElement(), 1);
        }
    }
    EXPECT_GT(written, 3 * SClientToDevXobQueue::kSlots);
    while (!ring.isEmpty()) {
        ASSERT_EQ(headTag(ring), static_cast<std::uint8_t>(read++));
        ring.deleteElement();
    }
    EXPECT_EQ(read, written);
}

void* noMemory(std::size_t) { return nullptr; }

TEST(CommandQueue, FailedAllocationRefusesAndLeavesTheSlotEmpty) {
    SClientToDevXobQueue ring;
    SClientToDevXob first = recordWithTag(1);
    ASSERT_EQ(ring.writeElement(&first), 1);
    xob::seams::setAllocationHook(&noMemory);
    testing::internal::CaptureStdout();
    SClientToDevXob refused = recordWithTag(2);
    const int taken = ring.writeElement(&refused);
    const std::string printed = testing::internal::GetCapturedStdout();
    xob::seams::setAllocationHook(nullptr);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(printed, "Buffer couldn't be created!\n");
    // The write index did not move: the next record takes the slot the refused one would have.
    SClientToDevXob next = recordWithTag(3);
    ASSERT_EQ(ring.writeElement(&next), 1);
    EXPECT_EQ(headTag(ring), 1);
    ring.deleteElement();
    EXPECT_EQ(headTag(ring), 3);
    ring.deleteElement();
    EXPECT_TRUE(ring.isEmpty());
}

}  // namespace
