#include "StressRecords.h"

#include <xob/GXob.h>

#include "channel/RecordBuilder.h"

#include <cstdio>
#include <cstring>

namespace xobstress {
namespace {

enum class Kind { Trigger, Panel, Diagnosis, System, Block };

constexpr std::uint16_t kTriggerId = 0x421;
constexpr std::uint16_t kPanelId = 0x408;
constexpr std::uint16_t kDiagnosisId = 0x750;
constexpr std::uint16_t kSystemId = 0x752;
// Not a catalogue entry: a block of the stress tests, laid out by the record builder.
constexpr std::uint16_t kBlockId = 0x7F0;

std::uint32_t mix(std::uint32_t value) noexcept {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    value ^= value >> 16;
    return value;
}

std::uint32_t fnv1a(std::uint32_t hash, const std::uint8_t* bytes, std::size_t size) noexcept {
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x01000193u;
    }
    return hash;
}

Kind kindOf(std::uint32_t tag) noexcept {
    switch (mix(tag) % 10) {
        case 0: case 1: case 2: return Kind::Trigger;
        case 3: case 4: return Kind::Panel;
        case 5: case 6: return Kind::Diagnosis;
        case 7: return Kind::System;
        default: return Kind::Block;
    }
}

// The check value of a tag, recorded as the entry's timestamp (24 bits).
std::uint32_t checkValue(std::uint32_t tag) noexcept { return mix(tag ^ 0xA5A5A5A5u) & 0x00FFFFFFu; }

// A byte field of fixed room: sending an entry allocates nothing. (A process forked while a thread
// is sending must not inherit heap blocks that only that thread's stack refers to.)
struct Field {
    std::uint8_t bytes[2048];
    std::size_t size = 0;

    void add(std::uint8_t byte) noexcept { bytes[size++] = byte; }
    void addWord(std::uint32_t word) noexcept {
        for (int i = 0; i < 4; ++i) {
            add(static_cast<std::uint8_t>(word >> (8 * i)));
        }
    }
};

// The content of a record: what the tag decides beyond the kind. Texts are lower-case letters; a
// block is any bytes. `lead` is the tag and the checksum of tag and content, as the record begins.
struct Content {
    Kind kind;
    Field lead;    // texts: tag + 8 hex digits; block: tag + checksum, little-endian
    Field first;   // text body, or block body
    Field second;  // second text of a system entry
};

void contentOf(std::uint32_t tag, Content& content) noexcept {
    content.kind = kindOf(tag);
    content.lead.size = content.first.size = content.second.size = 0;
    content.lead.addWord(tag);
    std::uint32_t state = mix(tag * 0x9E3779B9u) | 1u;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const auto letters = [&next](Field& text, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) {
            text.add(static_cast<std::uint8_t>('a' + next() % 26));
        }
    };
    switch (content.kind) {
        case Kind::Trigger:
            return;
        case Kind::Panel:  // 4 + 8 + at most 18 characters: within the cap of 31 with the terminator
            letters(content.first, next() % 19);
            break;
        case Kind::Diagnosis:  // at most 128 characters: within the cap of 129
            letters(content.first, next() % 117);
            break;
        case Kind::System:
            letters(content.first, next() % 117);
            letters(content.second, next() % 129);
            break;
        case Kind::Block: {
            // Mostly small, one in four large: up to 8 + 2036 = 2044 payload bytes.
            const std::uint32_t size = next() % 4 == 0 ? 256 + next() % 1781 : next() % 249;
            for (std::uint32_t i = 0; i < size; ++i) {
                content.first.add(static_cast<std::uint8_t>(next()));
            }
            break;
        }
    }
    std::uint32_t checksum = fnv1a(0x811C9DC5u, content.lead.bytes, content.lead.size);
    checksum = fnv1a(checksum, content.first.bytes, content.first.size);
    checksum = fnv1a(checksum, content.second.bytes, content.second.size);
    if (content.kind == Kind::Block) {
        content.lead.addWord(checksum);
    } else {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", checksum);
        for (int i = 0; i < 8; ++i) {
            content.lead.add(static_cast<std::uint8_t>(digits[i]));
        }
    }
}

// `head` and then `tail` as one NUL-terminated text in `text`.
char* joinText(char (&text)[2048], const Field& head, const Field& tail) noexcept {
    std::memcpy(text, head.bytes, head.size);
    std::memcpy(text + head.size, tail.bytes, tail.size);
    text[head.size + tail.size] = '\0';
    return text;
}

}  // namespace

std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept {
    sequence %= kSequences;
    const std::uint32_t low = sequence % 255u + 1u;
    const std::uint32_t middle = sequence / 255u % 255u + 1u;
    const std::uint32_t high = sequence / (255u * 255u) + 1u;
    return static_cast<std::uint32_t>(producer) << 24 | high << 16 | middle << 8 | low;
}

bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept {
    const std::uint32_t low = tag & 0xFFu;
    const std::uint32_t middle = tag >> 8 & 0xFFu;
    const std::uint32_t high = tag >> 16 & 0xFFu;
    producer = static_cast<std::uint8_t>(tag >> 24);
    if (low == 0 || middle == 0 || high == 0 || producer == 0) {
        return false;
    }
    sequence = (high - 1u) * 255u * 255u + (middle - 1u) * 255u + (low - 1u);
    return true;
}

void sendEntry(std::uint32_t tag) noexcept {
    Content content;
    contentOf(tag, content);
    const int check = static_cast<int>(checkValue(tag));
    static const Field kNothing{};
    char first[2048];
    char second[2048];
    switch (content.kind) {
        case Kind::Trigger:
            GXob::TRIGGERHDU_LogEntry(static_cast<int>(tag), true, check);
            break;
        case Kind::Panel:
            GXob::PanelHDU_LogEntry(joinText(first, content.lead, content.first), true, check);
            break;
        case Kind::Diagnosis:
            GXob::DiagnosisHDU_LogEntry(joinText(first, content.lead, content.first), true, check);
            break;
        case Kind::System:
            GXob::SYSHDU_LogEntry(joinText(first, content.lead, content.first),
                                  joinText(second, content.second, kNothing), true, check);
            break;
        case Kind::Block:
            xob::RecordBuilder(kBlockId)
                .bytes(content.lead.bytes, static_cast<int>(content.lead.size))
                .bytes(content.first.bytes, static_cast<int>(content.first.size))
                .send(true, check);
            break;
    }
}

std::uint16_t functionIdOf(std::uint32_t tag) noexcept {
    switch (kindOf(tag)) {
        case Kind::Trigger: return kTriggerId;
        case Kind::Panel: return kPanelId;
        case Kind::Diagnosis: return kDiagnosisId;
        case Kind::System: return kSystemId;
        case Kind::Block: break;
    }
    return kBlockId;
}

Bytes expectedRecord(std::uint32_t tag) {
    Content content;
    contentOf(tag, content);
    const std::uint16_t id = functionIdOf(tag);
    const std::uint32_t time = checkValue(tag);
    Bytes record(12, 0);  // the header; its length field is set last
    record[4] = 8;
    record[6] = static_cast<std::uint8_t>(id);
    record[7] = static_cast<std::uint8_t>(id >> 8);
    record[8] = static_cast<std::uint8_t>(time);
    record[9] = static_cast<std::uint8_t>(time >> 8);
    record[10] = static_cast<std::uint8_t>(time >> 16);
    const auto append = [&record](const Field& field) {
        for (std::size_t i = 0; i < field.size; ++i) {
            record.push_back(field.bytes[i]);
        }
    };
    append(content.lead);
    append(content.first);
    if (content.kind == Kind::Panel || content.kind == Kind::Diagnosis || content.kind == Kind::System) {
        record.push_back(0);
    }
    if (content.kind == Kind::System) {
        append(content.second);
        record.push_back(0);
    }
    record[0] = static_cast<std::uint8_t>(record.size() - 2);
    record[1] = static_cast<std::uint8_t>((record.size() - 2) >> 8);
    return record;
}

bool inspect(const Bytes& record, std::uint32_t& tag, std::string& why) {
    if (record.size() < 16) {
        why = "short record of " + std::to_string(record.size()) + " bytes";
        return false;
    }
    tag = static_cast<std::uint32_t>(record[12] | record[13] << 8 | record[14] << 16) |
          static_cast<std::uint32_t>(record[15]) << 24;
    std::uint8_t producer = 0;
    std::uint32_t sequence = 0;
    if (!splitTag(tag, producer, sequence)) {
        why = "no tag in the first payload bytes";
        return false;
    }
    const std::uint32_t time = static_cast<std::uint32_t>(record[8] | record[9] << 8 | record[10] << 16) |
                               static_cast<std::uint32_t>(record[11]) << 24;
    if (time != checkValue(tag)) {
        why = "timestamp is not the tag's check value";
        return false;
    }
    if (record != expectedRecord(tag)) {
        why = "content differs from what the tag makes";
        return false;
    }
    return true;
}

}  // namespace xobstress
