// The command record's packing rules: value and text packing, the timestamp, and the record
// builder that every entry function uses.
#include <xob/GXob.h>

#include "channel/RecordBuilder.h"
#include "DeviceStandIn.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using xobtest::Bytes;
using xobtest::operator+;

namespace {

Bytes payloadOf(SClientToDevXob& record, int length) {
    const std::uint8_t* bytes = GXob::detail::payloadBytes(&record);
    return Bytes(bytes, bytes + length);
}

struct TextCase {
    const char* name;
    const char* text;
    int cap;
    int expectedResult;
    Bytes expectedField;  // the cap bytes at the field's place
};

class TextPacking : public testing::TestWithParam<TextCase> {};

TEST_P(TextPacking, PacksLikeStrncpyAndKeepsTheTerminator) {
    const TextCase& c = GetParam();
    SClientToDevXob record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(GXob::writeStringToCommand(c.text, &record, 3, c.cap), c.expectedResult);
    EXPECT_EQ(payloadOf(record, 3 + c.cap + 1),
              (Bytes{0xEE, 0xEE, 0xEE} + c.expectedField + Bytes{0xEE}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextPacking,
    testing::Values(TextCase{"Null", nullptr, 4, 1, {0, 0, 0, 0}},
                    TextCase{"Empty", "", 4, 1, {0, 0, 0, 0}},
                    TextCase{"Short", "ab", 4, 3, {'a', 'b', 0, 0}},
                    TextCase{"CapMinusOne", "abc", 4, 4, {'a', 'b', 'c', 0}},
                    TextCase{"ExactlyCap", "abcd", 4, 4, {'a', 'b', 'c', 0}},
                    TextCase{"Longer", "abcdefgh", 4, 4, {'a', 'b', 'c', 0}},
                    TextCase{"CapOne", "abc", 1, 1, {0}}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST(TextPacking, NullRecordPacksNothing) {
    EXPECT_EQ(GXob::writeStringToCommand("abc", nullptr, 0, 8), 0);
}

TEST(ValuePacking, WritesLittleEndianAtUnalignedOffsets) {
    SClientToDevXob record;
    std::memset(&record, 0, sizeof record);
    const int constInt = -2;
    int plainInt = 0x11223344;
    char character = 'x';
    unsigned int unsignedInt = 0x80000001u;
    const void* pointer = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(0xCAFEBABEu));
    int offset = 1;
    offset += GXob::writeDataToCommand(constInt, &record, offset);
    offset += GXob::writeDataToCommand(plainInt, &record, offset);
    offset += GXob::writeDataToCommand(character, &record, offset);
    offset += GXob::writeDataToCommand(unsignedInt, &record, offset);
    offset += GXob::writeDataToCommand(pointer, &record, offset);
    EXPECT_EQ(offset, 1 + 4 + 4 + 1 + 4 + 4);
    EXPECT_EQ(payloadOf(record, offset),
              (Bytes{0, 0xFE, 0xFF, 0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11, 'x', 0x01, 0, 0, 0x80,
                     0xBE, 0xBA, 0xFE, 0xCA}));
}

TEST(ValuePacking, EnumerationTakesItsFullUnderlyingWidth) {
    enum Wide : int { Big = 0x01020304 };
    Wide value = Big;
    SClientToDevXob record;
    EXPECT_EQ(GXob::writeDataToCommand(value, &record, 0), 4);
    EXPECT_EQ(payloadOf(record, 4), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(GXob::writeDataToCommand(value, nullptr, 0), 0);
}

TEST(Timestamp, IsHundredthsOfTheMonotonicClockInTwentyFourBits) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t expected =
        ((static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + now.tv_nsec) / 10000000u) & 0xFFFFFFu;
    const std::uint32_t stamp = GXob::getApiHundredthSecond();
    EXPECT_EQ(stamp & 0xFF000000u, 0u);
    // Within a second of the clock read just before, allowing for the 24-bit wrap.
    EXPECT_LT((stamp - expected) & 0xFFFFFFu, 100u);
}

TEST(RecordBuilder, LaysOutFieldsBackToBackWithBothByteOrders) {
    xob::RecordBuilder builder(0x41B);
    builder.u8(0x1FF).s8(-1).u16le(0x1234).u16be(0x1234).u32le(0xA1B2C3D4u).u32be(0xA1B2C3D4u)
        .s32le(-2).u64be(0x0102030405060708ull).text("hi", 64).gap(3).bytes("\x7F\x80", 2)
        .boolean(true);
    EXPECT_EQ(builder.length(), 1 + 1 + 2 + 2 + 4 + 4 + 4 + 8 + 3 + 3 + 2 + 1);
}

TEST(RecordBuilder, StopsAtTheEndOfThePayload) {
    xob::RecordBuilder builder(0x409);
    for (int i = 0; i < 40; ++i) {
        builder.text(std::string(100, 'x').c_str(), 64);
    }
    EXPECT_EQ(builder.length(), xob::RecordBuilder::kMaxPayload);
    builder.u32le(1).u8(1).gap(5);
    EXPECT_EQ(builder.length(), xob::RecordBuilder::kMaxPayload);
}

// A run of fields is taken whole, a zero-length one included, or not at all.
TEST(RecordBuilder, TakesARunWholeOrNotAtAll) {
    struct Case {
        int before;  // payload bytes laid out before the run
        int size;
        bool taken;
    };
    const Case cases[] = {{0, -1, false}, {0, 0, true}, {0, 8, true}, {2036, 8, true}, {2037, 8, false}};
    for (const Case& c : cases) {
        xob::RecordBuilder builder(0x409);
        builder.gap(c.before);
        int fills = 0;
        const bool taken = builder.run(c.size, [&](xob::RecordBuilder::Run& run) {
            ++fills;
            if (c.size == 8) run.u64be(1);
        });
        EXPECT_EQ(taken, c.taken) << c.before << "+" << c.size;
        EXPECT_EQ(fills, c.taken ? 1 : 0) << c.before << "+" << c.size;
        EXPECT_EQ(builder.length(), c.before + (c.taken ? c.size : 0)) << c.before << "+" << c.size;
    }
}

// Calls that would write past the payload (or before it) are refused and change nothing; the last
// calls that fit are taken.
TEST(Packing, RefusesWhatWouldReachPastThePayload) {
    struct Case {
        const char* name;
        int (*call)(SClientToDevXob*);
        int expected;
    };
    const Case cases[] = {
        {"u32 at 2041", [](SClientToDevXob* r) { unsigned v = 1; return GXob::writeDataToCommand(v, r, 2041); }, 0},
        {"u32 at -4", [](SClientToDevXob* r) { unsigned v = 1; return GXob::writeDataToCommand(v, r, -4); }, 0},
        {"pointer at 2041", [](SClientToDevXob* r) { const void* v = r; return GXob::writeDataToCommand(v, r, 2041); }, 0},
        {"char at 2044", [](SClientToDevXob* r) { char v = 1; return GXob::writeDataToCommand(v, r, 2044); }, 0},
        {"text at 3000", [](SClientToDevXob* r) { return GXob::writeStringToCommand("abc", r, 3000, 4); }, 0},
        {"text at -1", [](SClientToDevXob* r) { return GXob::writeStringToCommand("abc", r, -1, 4); }, 0},
        {"cap past the end", [](SClientToDevXob* r) { return GXob::writeStringToCommand("abc", r, 2000, 45); }, 0},
        {"huge cap", [](SClientToDevXob* r) { return GXob::writeStringToCommand("abc", r, 0, 0x7FFFFFFF); }, 0},
        {"u32 at 2040 fits", [](SClientToDevXob* r) { unsigned v = 1; return GXob::writeDataToCommand(v, r, 2040); }, 4},
        {"cap to the end fits", [](SClientToDevXob* r) { return GXob::writeStringToCommand("abc", r, 2000, 44); }, 4},
    };
    for (const Case& c : cases) {
        SClientToDevXob record;
        std::memset(&record, 0xEE, sizeof record);
        SClientToDevXob before = record;
        EXPECT_EQ(c.call(&record), c.expected) << c.name;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record) == 0, c.expected == 0) << c.name;
    }
}

}  // namespace
