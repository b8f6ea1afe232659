#include "RecordSplitter.h"

#include "Decoder.h"

#include <cstdio>

namespace xob {
namespace recorder {

namespace {

constexpr std::size_t kMinLength = decoder::kHeaderSize - 2;
constexpr std::size_t kMaxLength = decoder::kMaxRecordSize - 2;

std::size_t le16(const std::uint8_t* p) { return p[0] | (p[1] << 8u); }

bool possibleLength(std::size_t length) { return length >= kMinLength && length <= kMaxLength; }

std::string impossibleLength(std::size_t length) {
    char text[96];
    std::snprintf(text, sizeof text, "impossible length field %zu (a record has %zu to %zu bytes after it)", length,
                  kMinLength, kMaxLength);
    return text;
}

std::string cutOff(std::size_t length, std::size_t arrived) {
    char text[96];
    std::snprintf(text, sizeof text, "cut off: the length field announces %zu bytes, %zu arrived", length + 2,
                  arrived);
    return text;
}

// What the decoder finds wrong with a header whose length field is possible.
std::string headerDamage(const std::uint8_t* data, std::size_t size) {
    std::string text;
    for (const std::string& damage : decoder::decodeRecord(data, size).damage) {
        text += (text.empty() ? "" : "; ") + damage;
    }
    return text.empty() ? "no well-formed record starts here" : text;
}

}  // namespace

void RecordSplitter::feed(const std::uint8_t* data, std::size_t size, const RecordHandler& onRecord,
                          const SkipHandler& onSkip) {
    m_pending.insert(m_pending.end(), data, data + size);
    split(Arrived::More, onRecord, onSkip);
}

void RecordSplitter::settle(const RecordHandler& onRecord, const SkipHandler& onSkip) {
    split(Arrived::AllWritten, onRecord, onSkip);
}

void RecordSplitter::finish(const RecordHandler& onRecord, const SkipHandler& onSkip) {
    split(Arrived::All, onRecord, onSkip);
}

// Cuts what is held. A place whose length field is possible but whose record has not arrived whole
// is waited for, not judged (that wait holds at most one record's bytes), unless nothing more can
// make it whole: the stream has ended, or bytes are being skipped and all that was written is here.
void RecordSplitter::split(Arrived arrived, const RecordHandler& onRecord, const SkipHandler& onSkip) {
    const bool final = arrived == Arrived::All;
    const std::size_t size = m_pending.size();
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t* p = m_pending.data() + pos;
        const std::size_t left = size - pos;
        const bool judgeIncomplete = final || (arrived == Arrived::AllWritten && m_skipping);
        if (left < 2 && !judgeIncomplete) {
            break;
        }
        const std::size_t length = left >= 2 ? le16(p) : 0;
        if (left >= 2 && possibleLength(length)) {
            if (length + 2 > left && !judgeIncomplete) {
                break;
            }
            if (length + 2 <= left && decoder::plausibleRecordStart(p, length + 2)) {
                if (m_skipping) {
                    endSkip(false, onSkip);
                }
                onRecord(Record(p, p + length + 2));
                pos += length + 2;
                continue;
            }
        }
        if (!m_skipping) {
            m_skipping = true;
            m_skip = Skip{};
            m_skip.offset = m_offset + pos;
            m_skip.reason = left < 2                 ? std::string("a stray byte at the end of the stream")
                            : !possibleLength(length) ? impossibleLength(length)
                            : length + 2 > left       ? cutOff(length, left)
                                                      : headerDamage(p, length + 2);
        }
        ++m_skip.size;
        ++m_skippedBytes;
        if (m_skip.head.size() < kSkipHeadShown) {
            m_skip.head.push_back(*p);
        }
        ++pos;
    }
    if (final && m_skipping) {
        endSkip(true, onSkip);
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(pos));
    m_offset += pos;
}

void RecordSplitter::endSkip(bool toEnd, const SkipHandler& onSkip) {
    m_skip.toEnd = toEnd;
    if (onSkip) {
        onSkip(m_skip);
    }
    m_skipping = false;
}

}  // namespace recorder
}  // namespace xob
