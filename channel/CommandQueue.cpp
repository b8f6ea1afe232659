// SClientToDevXobQueue: a fixed ring of 120 slots, each owning an exact-size copy of one record.
// Whether the ring is empty or full is told by the head slot, so all 120 slots can be used.
#include <xob/GXob.h>

#include "channel/RecordHeader.h"
#include "platform/Os.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::uint8_t nextIndex(std::uint8_t index) noexcept {
    return index + 1u == SClientToDevXobQueue::kSlots ? 0 : static_cast<std::uint8_t>(index + 1u);
}

// The largest length field a record can carry: the largest record less the field itself.
constexpr std::uint32_t kMaxLengthField = xob::header::kMaxRecordSize - 2;

std::uint32_t lengthField(const SClientToDevXob* record) noexcept {
    return xob::header::length(reinterpret_cast<const std::uint8_t*>(record));
}

std::uint32_t recordSize(const SClientToDevXob* record) noexcept {
    return lengthField(record) + 2u;
}

}  // namespace

SClientToDevXobQueue::SClientToDevXobQueue() noexcept : m_slots(), m_readIndex(0), m_writeIndex(0) {}

SClientToDevXobQueue::~SClientToDevXobQueue() {
    for (Slot& slot : m_slots) {
        std::free(slot.buffer);
    }
}

int SClientToDevXobQueue::writeElement(SClientToDevXob* record) noexcept {
    // isFull(), spelled out: this is on every caller's path, and the member is exported (so a call
    // to it would go through the symbol table). A length field that claims more than a record holds
    // would copy past the caller's buffer: such a record is refused like one that finds no room.
    if (record == nullptr || (m_slots[m_readIndex].size != 0 && m_writeIndex == m_readIndex) ||
        lengthField(record) > kMaxLengthField) {
        return 0;
    }
    Slot& slot = m_slots[m_writeIndex];
    slot.size = recordSize(record);
    slot.buffer = static_cast<std::uint8_t*>(xob::platform::allocateRecord(slot.size));
    if (slot.buffer == nullptr) {
        std::printf("Buffer couldn't be created!\n");
        slot.size = 0;
        return 0;
    }
    std::memcpy(slot.buffer, record, slot.size);
    m_writeIndex = nextIndex(m_writeIndex);
    return 1;
}

std::uint32_t SClientToDevXobQueue::getElementSize() const noexcept {
    return m_slots[m_readIndex].size;
}

std::uint8_t* SClientToDevXobQueue::getElementBuffer() const noexcept {
    return m_slots[m_readIndex].buffer;
}

int SClientToDevXobQueue::deleteElement() noexcept {
    Slot& head = m_slots[m_readIndex];
    if (head.size == 0) {
        return 0;
    }
    std::free(head.buffer);
    head.buffer = nullptr;
    head.size = 0;
    m_readIndex = nextIndex(m_readIndex);
    return 1;
}

bool SClientToDevXobQueue::isEmpty() const noexcept { return m_slots[m_readIndex].size == 0; }

bool SClientToDevXobQueue::isFull() const noexcept {
    return m_slots[m_readIndex].size != 0 && m_writeIndex == m_readIndex;
}
