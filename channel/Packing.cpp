// The timestamp every log entry carries and the text packing function; the value packing
// function is a template in <xob/GXob.h>.
#include <xob/GXob.h>

#include "platform/Os.h"

#include <cstring>

namespace GXob {

std::uint32_t getApiHundredthSecond() noexcept {
    std::uint64_t nanoseconds = 0;
    if (!xob::platform::monotonicNanoseconds(nanoseconds)) {
        return 0;
    }
    const std::uint64_t hundredths = nanoseconds / 10000000u;
    return static_cast<std::uint32_t>(hundredths) & 0x00FFFFFFu;
}

int writeStringToCommand(const char* text, SClientToDevXob* record, int offset, int cap) noexcept {
    if (record == nullptr) {
        return 0;
    }
    if (text == nullptr) {
        text = "";
    }
    if (cap <= 0 || !detail::fitsPayload(offset, cap)) {
        return 0;
    }
    // strncpy with the limit `cap`: the characters, the terminator, then zeros up to `cap` bytes
    // (done as length, copy and fill, which the C library does a word or a vector at a time).
    std::uint8_t* out = detail::payloadBytes(record) + offset;
    const std::size_t limit = static_cast<std::size_t>(cap);
    const std::size_t length = strnlen(text, limit);
    std::memcpy(out, text, length);
    std::memset(out + length, 0, limit - length);
    if (length < limit) {
        return static_cast<int>(length) + 1;
    }
    // The text did not fit: cut it to cap - 1 characters so that it keeps its terminator.
    out[cap - 1] = 0;
    return cap;
}

}  // namespace GXob
