// Damaged input: every kind of damage is reported on the line of the record it belongs to, with
// that record's offset, and decoding goes on with the next record. Each case is a whole stream and
// the lines it must give, in order.
#include "Decoder.h"
#include "DeviceStandIn.h"
#include "Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace {

using xob::decoder::DecodedRecord;
using xobtest::Bytes;
using xobtest::logEntry;
using xobtest::operator+;

// Well-formed records to put around the damage.
const Bytes kPrepare = logEntry(0x759, 100, {2, 1});  // Nav_SWDL_Prepare, 14 bytes
const Bytes kStop = {6, 0, 0, 0, 13, 0, 0, 0};        // StopFlush, 8 bytes
const Bytes kStartRG = logEntry(0x418, 5, Bytes{1, 2, 'a', 0, 'b', 0} + Bytes{2, 0, 0, 0});  // 22 bytes

Bytes withLength(Bytes record, std::uint16_t length) {
    record[0] = static_cast<std::uint8_t>(length);
    record[1] = static_cast<std::uint8_t>(length >> 8);
    return record;
}

Bytes modulesDump(unsigned count) {
    Bytes payload = {21, static_cast<std::uint8_t>(count)};
    for (unsigned i = 0; i < count; ++i) {
        payload = payload + Bytes{0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(i), 1, 2, 3};
    }
    return logEntry(0x41B, 1, payload);
}

struct Line {
    std::size_t offset;
    std::size_t size;
    const char* name;    // DecodedRecord::name()
    const char* damage;  // a part of the damage report; null: the record is well-formed
    const char* shows;   // a part of the text line, or null
};

struct DamageCase {
    const char* name;
    Bytes stream;
    std::vector<Line> lines;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

class DamagedInput : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedInput, IsReportedOnItsRecordsLineAndDecodingGoesOn) {
    const DamageCase& c = GetParam();
    std::vector<DecodedRecord> records;
    const auto summary = xob::decoder::decodeStream(c.stream.data(), c.stream.size(),
                                                    [&](const DecodedRecord& r) { records.push_back(r); });
    ASSERT_EQ(records.size(), c.lines.size());
    std::size_t damaged = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DecodedRecord& r = records[i];
        const Line& expected = c.lines[i];
        const std::string line = xob::decoder::textLine(r);
        SCOPED_TRACE(line);
        EXPECT_EQ(r.offset, expected.offset);
        EXPECT_EQ(r.size, expected.size);
        EXPECT_STREQ(r.name(), expected.name);
        if (expected.damage == nullptr) {
            EXPECT_FALSE(r.damaged());
        } else {
            ++damaged;
            EXPECT_NE(line.find(expected.damage), std::string::npos);
        }
        if (expected.shows != nullptr) {
            EXPECT_NE(line.find(expected.shows), std::string::npos);
        }
        std::string json;  // the bulk writer's JSON is the JSON library's, byte for byte
        xob::decoder::appendJsonLine(json, r);
        EXPECT_EQ(json, xob::decoder::jsonRecord(r).dump() + "\n");
    }
    EXPECT_EQ(summary.damaged, damaged);
}

// The lines of a stream as offset, size and text line, for comparing two decodings.
std::vector<std::string> linesOf(const Bytes& stream, const std::vector<std::size_t>& cuts) {
    std::vector<std::string> lines;
    xob::decoder::StreamDecoder decoder([&](const DecodedRecord& r) {
        lines.push_back(std::to_string(r.offset) + "+" + std::to_string(r.size) + " " + xob::decoder::textLine(r));
    });
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        decoder.feed(stream.data() + from, cut - from);
        from = cut;
    }
    decoder.feed(stream.data() + from, stream.size() - from);
    decoder.finish();
    return lines;
}

// Read in pieces, a stream gives the lines it gives in one piece: cut once at every offset, and
// cut into single bytes.
TEST_P(DamagedInput, GivesTheSameLinesHoweverItIsCut) {
    const Bytes& stream = GetParam().stream;
    const std::vector<std::string> whole = linesOf(stream, {});
    EXPECT_EQ(whole.size(), GetParam().lines.size());
    std::vector<std::size_t> bytes;
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        EXPECT_EQ(linesOf(stream, {cut}), whole) << "cut at " << cut;
        bytes.push_back(cut);
    }
    EXPECT_EQ(linesOf(stream, bytes), whole);
}

const DamageCase kCases[] = {
    {"ImpossibleLengthFindsTheNextRecord", Bytes{0xFF, 0xFF, 0, 0, 8, 0} + Bytes{6, 0, 0, 0, 10, 0, 3, 0} + kPrepare,
     {{0, 6, "?", "impossible length field 65535", "skipped 6 bytes to the next well-formed record at offset 6"},
      {6, 8, "FlushFilesReady", nullptr, "status=3"},
      {14, 14, "Nav_SWDL_Prepare", nullptr, "component=1"}}},
    {"LengthShorterThanAHeader", kPrepare + Bytes{2, 0, 0xAA, 0xBB} + kStop,
     {{0, 14, "Nav_SWDL_Prepare", nullptr, nullptr},
      {14, 4, "?", "impossible length field 2", "undecoded=[02 00 AA BB]"},
      {18, 8, "StopFlush", nullptr, "value=0"}}},
    {"ImpossibleLengthWithNothingAfter", Bytes{0xFF, 0xFF, 1, 2, 3},
     {{0, 5, "?", "skipped 5 bytes to the end of the stream", nullptr}}},
    {"ImpossibleLengthThenALogEntryHeaderCutShort", Bytes{0xFF, 0xFF, 0, 13, 0, 0, 0, 8, 0, 0x59, 0x07, 1, 0},
     {{0, 13, "?", "skipped 13 bytes to the end of the stream", nullptr}}},
    {"TruncatedAtTheEnd", kPrepare + Bytes(kStartRG.begin(), kStartRG.begin() + 15),
     {{0, 14, "Nav_SWDL_Prepare", nullptr, nullptr},
      {14, 15, "Nav_StartRGHDU_LogEntry", "truncated: the length field announces 22 bytes, the stream holds 15",
       "voiceGuidanceMode=VGM_TRAFFIC"}}},
    {"TruncatedBeforeTheTimestamp", Bytes(kStartRG.begin(), kStartRG.begin() + 9),
     {{0, 9, "?", "has no room for its timestamp", nullptr}}},
    {"LengthPastTheEndGoesOnWithTheNextRecord", withLength(kPrepare, 200) + kStop,
     {{0, 14, "Nav_SWDL_Prepare", "continuing at the next well-formed record at offset 14", nullptr},
      {14, 8, "StopFlush", nullptr, nullptr}}},
    {"LengthPastTheEndNextRecordOneByteOn", Bytes{6} + kStop,
     {{0, 1, "?", "continuing at the next well-formed record at offset 1", nullptr}, {1, 8, "StopFlush", nullptr, nullptr}}},
    {"PayloadShorterThanItsLayout", logEntry(0x418, 5, {1, 2, 'a', 0, 'b', 0, 2, 0}) + kStop,
     {{0, 20, "Nav_StartRGHDU_LogEntry", "payload ends inside field 'reason'", "tmcStation=\"b\" undecoded=[02 00]"},
      {20, 8, "StopFlush", nullptr, nullptr}}},
    {"UnknownFunctionIdentifierLongLine", logEntry(0x999, 1, Bytes{1, 2} + Bytes(2000, 0xAB)) + kStop,
     {{0, 2014, "?", "unknown function identifier 0x999", "undecoded=[01 02 AB AB"}, {2014, 8, "StopFlush", nullptr, nullptr}}},
    {"UnknownSubIdentifier", logEntry(0x418, 1, {9, 1}),
     {{0, 14, "?", "unknown sub-identifier 9 of function identifier 0x418", nullptr}}},
    {"EmptyPayloadOfAFamilyWithSubIdentifiers", logEntry(0x418, 1, {}),
     {{0, 12, "?", "empty payload", nullptr}}},
    {"TextWithoutTerminatorWithinItsCap", logEntry(0x408, 1, Bytes(40, 'x')),
     {{0, 52, "PanelHDU_LogEntry", "text 'text' has no terminator within its cap of 31 bytes",
       "undecoded=[78 78 78 78 78 78 78 78 78]"}}},
    {"TextWithoutTerminatorAtThePayloadsEnd", logEntry(0x414, 1, {2, 'a', 'b', 'c'}),
     {{0, 16, "Tel_Exception_LogEntry", "text 'info' has no terminator before the payload ends", "info=\"abc\""}}},
    {"ListCountAboveItsCap", modulesDump(41),
     {{0, 465, "HDU_Media_ModulesDump", "list 'modules' counts 41 items, more than its cap of 40", nullptr}}},
    {"ListItemsCutShort", logEntry(0x41B, 1, Bytes{21, 2} + Bytes(16, 1)),
     {{0, 30, "HDU_Media_ModulesDump", "payload ends inside field 'modules[1].ui64Field1'", nullptr}}},
    {"BytesBeyondTheLayout", logEntry(0x759, 1, {2, 1, 7, 7}),
     {{0, 16, "Nav_SWDL_Prepare", "2 payload bytes beyond the layout", "undecoded=[07 07]"}}},
    {"UnassignedBytesNotZero", logEntry(0x757, 1, {0, 0, 5, 0, 7, 0, 0, 0}) + kStop,
     {{0, 20, "Sensoric_SatRecHDU_LogEntry", "unassigned bytes at payload offset 1 to 3 are not zero", "value=7"},
      {20, 8, "StopFlush", nullptr, nullptr}}},
    {"FlagNeitherZeroNorOne", logEntry(0x41B, 1, {19, 2}),
     {{0, 14, "HDU_Media_FlushResponseServiceManagement", "flag 'response' is 2", nullptr}}},
    {"TimestampAbove24Bits", logEntry(0x759, 0x01000000, {2, 1}),
     {{0, 14, "Nav_SWDL_Prepare", "has bits above the low 24", nullptr}}},
    {"UnknownCommand", Bytes{6, 0, 0, 0, 7, 0, 0, 0} + kStop,
     {{0, 8, "?", "unknown command 7", nullptr}, {8, 8, "StopFlush", nullptr, nullptr}}},
    {"ControlRecordsAreChecked", Bytes{6, 0, 0, 0, 12, 0, 2, 0} + Bytes{6, 0, 0, 0, 4, 0, 3, 5} + Bytes{6, 0, 1, 0, 13, 0, 0, 0},
     {{0, 8, "SetActivFlag", "flag 2 is neither 0 nor 1", nullptr},
      {8, 8, "InitFiles", "length field 6: InitFiles records have 8", nullptr},
      {16, 8, "StopFlush", "reserved header field is 0x0001", nullptr}}},
    {"StrayByteAtTheEnd", kStop + Bytes{0x42},
     {{0, 8, "StopFlush", nullptr, nullptr}, {8, 1, "?", "a stray byte at the end of the stream", nullptr}}},
    {"EmptyStream", {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Decoder, DamagedInput, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

// xob-recorder decodes records as the device stand-in cuts them, one at a time, whatever their
// length fields say.
TEST(DecoderRecord, SingleRecordsWithImpossibleLengthsAreReportedNotRead) {
    const std::pair<Bytes, const char*> cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 6, 0x3E, 0, 1, 0, 2, 0xA2}, "impossible length field 0"},
        {{0xFF, 0xFF, 0, 0, 8, 0, 0x59, 0x07, 1, 0, 0, 0, 2, 1}, "impossible length field 65535"},
        {{4, 0, 0, 0, 12, 0, 1, 0}, "impossible length field 4"},
        {{6, 0, 0, 0, 8, 0, 0x59, 0x07}, "has no room for its timestamp"},
        {{8, 0, 0, 0, 13}, "5 bytes are not a record"},
    };
    for (const auto& c : cases) {
        const DecodedRecord record = xob::decoder::decodeRecord(c.first.data(), c.first.size());
        EXPECT_NE(xob::decoder::textLine(record).find(c.second), std::string::npos) << xob::decoder::textLine(record);
    }
}

// Garbage of every length and content between well-formed records: however the stream is cut,
// its lines cover it exactly, one after another, and reads stay inside it (the sanitizer builds
// check the latter).
TEST(DecoderStream, LinesCoverEveryByteOfAnyStream) {
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        Bytes stream = kPrepare;
        const int garbage = round % 60;
        for (int i = 0; i < garbage; ++i) {
            seed = seed * 1103515245u + 12345u;
            stream.push_back(static_cast<std::uint8_t>(seed >> 16));
        }
        stream = stream + kStartRG + kStop;
        std::size_t next = 0;
        xob::decoder::decodeStream(stream.data(), stream.size(), [&](const DecodedRecord& r) {
            EXPECT_EQ(r.offset, next) << "round " << round;
            EXPECT_GT(r.size, 0u) << "round " << round;
            next = r.offset + r.size;
        });
        EXPECT_EQ(next, stream.size()) << "round " << round;
    }
}

// A record is reported as soon as its last byte has arrived, and what the decoder holds back
// stays within one record however long the damage runs.
TEST(DecoderStream, ReportsEachRecordAtOnceAndHoldsBackAtMostOneRecord) {
    std::size_t lines = 0;
    xob::decoder::StreamDecoder decoder([&](const DecodedRecord&) { ++lines; });
    decoder.feed(kPrepare.data(), kPrepare.size() - 1);
    EXPECT_EQ(lines, 0u);
    decoder.feed(&kPrepare.back(), 1);
    EXPECT_EQ(lines, 1u);
    const Bytes garbage(1 << 16, 0xFF);  // one impossible length field after another
    for (std::size_t i = 0; i < garbage.size(); i += 100) {
        decoder.feed(garbage.data() + i, std::min<std::size_t>(100, garbage.size() - i));
        ASSERT_LE(decoder.held(), xob::decoder::kMaxRecordSize);
    }
    // A header that could start a record of 2056 bytes: only the end of the stream tells it is not.
    const Bytes tail = withLength(kPrepare, 2054) + kStop;
    decoder.feed(tail.data(), tail.size());
    EXPECT_EQ(lines, 1u);
    decoder.finish();
    EXPECT_EQ(lines, 3u);  // the garbage up to the StopFlush, then the StopFlush
}

}  // namespace
