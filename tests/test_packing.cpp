// The command record's packing rules at their edges: texts like strncpy with their terminator, values at unaligned
// offsets, nothing written past (or before) the payload, and the record builder's runs.
#include "TestKit.h"

#include "channel/RecordBuilder.h"

using namespace xobtest;

Bytes payloadOf(SClientToDevXob& record, int length) {
    return Bytes(GXob::detail::payloadBytes(&record), GXob::detail::payloadBytes(&record) + length);
}

TEST(Packing, TextsAreCutLikeStrncpyAndKeepTheirTerminator) {
    const struct {
        const char* text;
        int cap, result;
        Bytes field;  // the cap bytes at the field's place
    } cases[] = {{nullptr, 4, 1, {0, 0, 0, 0}}, {"", 4, 1, {0, 0, 0, 0}}, {"ab", 4, 3, {'a', 'b', 0, 0}},
                 {"abc", 4, 4, {'a', 'b', 'c', 0}}, {"abcd", 4, 4, {'a', 'b', 'c', 0}},
                 {"abcdefgh", 4, 4, {'a', 'b', 'c', 0}}, {"abc", 1, 1, {0}}};
    for (const auto& c : cases) {
        SClientToDevXob record;
        std::memset(&record, 0xEE, sizeof record);
        EXPECT_EQ(GXob::writeStringToCommand(c.text, &record, 3, c.cap), c.result) << c.text << "/" << c.cap;
        EXPECT_EQ(payloadOf(record, 3 + c.cap + 1), (Bytes{0xEE, 0xEE, 0xEE} + c.field + Bytes{0xEE})) << c.text;
    }
    EXPECT_EQ(GXob::writeStringToCommand("abc", nullptr, 0, 8), 0);
}

TEST(Packing, ValuesGoLittleEndianToUnalignedOffsetsInTheirFullWidth) {
    enum Wide : int { Big = 0x01020304 };
    SClientToDevXob record{};
    int offset = 1;
    const auto put = [&](auto value) { offset += GXob::writeDataToCommand(value, &record, offset); };
    put(-2);
    put('x');
    put(0x80000001u);
    put(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(0xCAFEBABEu)));
    put(Big);
    EXPECT_EQ(payloadOf(record, offset), (Bytes{0, 0xFE, 0xFF, 0xFF, 0xFF, 'x', 0x01, 0, 0, 0x80, 0xBE, 0xBA, 0xFE,
                                                0xCA, 4, 3, 2, 1}));
    Wide wide = Big;
    EXPECT_EQ(GXob::writeDataToCommand(wide, nullptr, 0), 0);
}

// Calls that would write past the payload (or before it) are refused and change nothing; the last calls that fit are
// taken.
TEST(Packing, RefusesWhatWouldReachPastThePayload) {
    const struct {
        const char* name;
        int (*call)(SClientToDevXob*);
        int expected;  // 0: refused
    } cases[] = {
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
    for (const auto& c : cases) {
        SClientToDevXob record;
        std::memset(&record, 0xEE, sizeof record);
        SClientToDevXob before = record;
        EXPECT_EQ(c.call(&record), c.expected) << c.name;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record) == 0, c.expected == 0) << c.name;
    }
}

// The builder stops at the end of the payload; a run of fields is taken whole, a zero-length one included, or not at
// all.
TEST(RecordBuilder, StopsAtTheEndOfThePayloadAndTakesRunsWholeOrNotAtAll) {
    xob::RecordBuilder full(0x409);
    for (int i = 0; i < 40; ++i) full.text(std::string(100, 'x').c_str(), 64);
    full.u32le(1).u8(1).gap(5);
    EXPECT_EQ(full.length(), xob::RecordBuilder::kMaxPayload);
    const int cases[][3] = {{0, -1, false}, {0, 0, true}, {0, 8, true}, {2036, 8, true}, {2037, 8, false}};
    for (const auto& c : cases) {  // bytes before the run, its size, taken
        xob::RecordBuilder builder(0x409);
        builder.gap(c[0]);
        int fills = 0;
        const bool taken = builder.run(c[1], [&](xob::RecordBuilder::Run& run) {
            ++fills;
            if (c[1] == 8) run.u64be(1);
        });
        EXPECT_EQ(taken, c[2] != 0) << c[0] << "+" << c[1];
        EXPECT_EQ(fills, c[2]) << c[0] << "+" << c[1];
        EXPECT_EQ(builder.length(), c[0] + (c[2] != 0 ? c[1] : 0)) << c[0] << "+" << c[1];
    }
}
