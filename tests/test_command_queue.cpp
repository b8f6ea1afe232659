// The 120-slot ring: empty and full are told by the head slot, every slot is usable, and both indexes wrap after slot
// 119.
#include "TestKit.h"

#include "platform/Seams.h"

// Writes a record whose first payload byte tells it apart; the ring's result.
int writeTagged(SClientToDevXobQueue& ring, std::uint8_t tag, std::uint16_t length = 11) {
    SClientToDevXob record{};
    record.ui16Length = length;
    reinterpret_cast<std::uint8_t*>(&record)[12] = tag;
    return ring.writeElement(&record);
}

std::uint8_t headTag(const SClientToDevXobQueue& ring) { return ring.getElementBuffer()[12]; }

TEST(CommandQueue, StoresExactSizeCopiesAndRefusesWhatIsNoRecord) {
    SClientToDevXobQueue ring;
    EXPECT_EQ(ring.getElementBuffer(), nullptr);
    EXPECT_EQ(ring.deleteElement(), 0);
    EXPECT_EQ(ring.writeElement(nullptr), 0);
    EXPECT_EQ(writeTagged(ring, 1, 0xFFFF), 0) << "a length field longer than a record";
    EXPECT_EQ(writeTagged(ring, 1, 2055), 0) << "a length field one byte longer than a record";
    EXPECT_TRUE(ring.isEmpty());
    ASSERT_EQ(writeTagged(ring, 7, 2054), 1);  // the longest record
    ASSERT_EQ(writeTagged(ring, 8, 6), 1);
    EXPECT_FALSE(ring.isEmpty());
    EXPECT_EQ(ring.getElementSize(), 2056u);
    ring.deleteElement();
    EXPECT_EQ(ring.getElementSize(), 8u);
    EXPECT_EQ(ring.getElementBuffer()[0], 6);
}

TEST(CommandQueue, HoldsAllSlotsRefusesWhenFullAndKeepsOrderAcrossBothWraps) {
    SClientToDevXobQueue ring;
    for (unsigned i = 0; i < SClientToDevXobQueue::kSlots; ++i) ASSERT_EQ(writeTagged(ring, std::uint8_t(i)), 1) << i;
    EXPECT_TRUE(ring.isFull());
    EXPECT_EQ(writeTagged(ring, 200), 0);
    // One removal frees slot 0; the next record goes there and the ring is full again.
    EXPECT_EQ(ring.deleteElement(), 1);
    EXPECT_FALSE(ring.isFull());
    EXPECT_EQ(writeTagged(ring, 120), 1);
    EXPECT_TRUE(ring.isFull());
    // Uneven batches walk both indexes across the 119 -> 0 wrap many times; order holds throughout.
    unsigned written = 121;
    unsigned read = 1;
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 6 + round % 5; ++i, ++read) {
            ASSERT_EQ(headTag(ring), static_cast<std::uint8_t>(read));
            ASSERT_EQ(ring.deleteElement(), 1);
        }
        for (int i = 0; i < 6 + round % 5; ++i, ++written) ASSERT_EQ(writeTagged(ring, std::uint8_t(written)), 1);
    }
    for (; !ring.isEmpty(); ring.deleteElement()) ASSERT_EQ(headTag(ring), static_cast<std::uint8_t>(read++));
    EXPECT_EQ(read, written);
}

TEST(CommandQueue, FailedAllocationRefusesAndLeavesTheSlotEmpty) {
    SClientToDevXobQueue ring;
    ASSERT_EQ(writeTagged(ring, 1), 1);
    xob::seams::setAllocationHook([](std::size_t) -> void* { return nullptr; });
    testing::internal::CaptureStdout();
    EXPECT_EQ(writeTagged(ring, 2), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Buffer couldn't be created!\n");
    xob::seams::setAllocationHook(nullptr);
    // The write index did not move: the next record takes the slot the refused one would have.
    ASSERT_EQ(writeTagged(ring, 3), 1);
    ring.deleteElement();
    EXPECT_EQ(headTag(ring), 3);
    ring.deleteElement();
    EXPECT_TRUE(ring.isEmpty());
}
