// Damaged input: every kind of damage is reported on the line of the record it belongs to, with
// that record's offset, and decoding goes on with the next record. The cases (damage.cases) are
// whole streams and the lines they must give, in order, well-formed records among them.
#include "Decoder.h"
#include "Format.h"
#include "Golden.h"
#include "TestKit.h"

#include <regex>

using namespace xob::decoder;
using xobtest::Bytes;
using xobtest::operator+;

// Well-formed records to put around the damage.
const Bytes kPrepare = xobtest::logEntry(0x759, 100, {2, 1});  // Nav_SWDL_Prepare, 14 bytes
const Bytes kStop = {6, 0, 0, 0, 13, 0, 0, 0};                 // StopFlush, 8 bytes

// A line: "<offset> <size> <DecodedRecord::name()>", a part of its damage report (empty: the
// record is well-formed), a part of its text line.
struct Line { std::string record, damage, shows; };
struct DamageCase { std::string name; Bytes stream; std::vector<Line> lines; };
void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

std::vector<DamageCase> damageCases() {
    std::vector<DamageCase> cases;
    std::ifstream in(XOBTEST_DAMAGE_CASES);
    const std::regex line(R"(  (.*?) *\| *(.*?) *\| *(.*?) *)");
    std::smatch part;
    for (std::string text; std::getline(in, text);) {
        if (!cases.empty() && std::regex_match(text, part, line)) {
            cases.back().lines.push_back({part[1], part[2], part[3]});
        } else if (!text.empty() && text[0] != '#') {
            cases.push_back({text.substr(0, text.find(':')), xobtest::hexBytes(text.substr(text.find(':') + 1)), {}});
        }
    }
    return cases;
}

// The lines of a stream fed to a StreamDecoder: first `head` bytes, then pieces of `piece` bytes.
std::vector<std::string> linesOf(const Bytes& stream, std::size_t head, std::size_t piece) {
    std::vector<std::string> lines;
    StreamDecoder decoder([&](const DecodedRecord& r) {
        lines.push_back(std::to_string(r.offset) + "+" + std::to_string(r.size) + " " + textLine(r));
    });
    for (std::size_t at = 0, size = head; at < stream.size(); at += size, size = piece) {
        size = std::min(size, stream.size() - at);
        decoder.feed(stream.data() + at, size);
    }
    decoder.finish();
    return lines;
}

class DamagedInput : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedInput, IsReportedOnItsRecordsLineAndDecodingGoesOn) {
    const DamageCase& c = GetParam();
    std::vector<DecodedRecord> records;
    const auto summary =
        decodeStream(c.stream.data(), c.stream.size(), [&](const DecodedRecord& r) { records.push_back(r); });
    ASSERT_EQ(records.size(), c.lines.size());
    std::size_t damaged = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DecodedRecord& r = records[i];
        const std::string line = textLine(r);
        SCOPED_TRACE(line);
        EXPECT_EQ(std::to_string(r.offset) + " " + std::to_string(r.size) + " " + r.name(), c.lines[i].record);
        EXPECT_EQ(r.damaged(), !c.lines[i].damage.empty());
        damaged += c.lines[i].damage.empty() ? 0 : 1;
        EXPECT_NE(line.find(c.lines[i].damage), std::string::npos);
        EXPECT_NE(line.find(c.lines[i].shows), std::string::npos);
        std::string json;  // the bulk writer's JSON is the JSON library's, byte for byte
        appendJsonLine(json, r);
        EXPECT_EQ(json, jsonRecord(r).dump() + "\n");
    }
    EXPECT_EQ(summary.damaged, damaged);
    // Read in pieces, the stream gives the lines it gives in one piece: cut once at every offset,
    // and cut into single bytes.
    const std::vector<std::string> whole = linesOf(c.stream, c.stream.size(), 0);
    EXPECT_EQ(whole.size(), c.lines.size());
    for (std::size_t cut = 1; cut < c.stream.size(); ++cut) {
        EXPECT_EQ(linesOf(c.stream, cut, c.stream.size()), whole) << "cut at " << cut;
    }
    EXPECT_EQ(linesOf(c.stream, 1, 1), whole);
}

TEST(DecoderDamage, CasesAreRead) { EXPECT_GE(damageCases().size(), 20u); }

INSTANTIATE_TEST_SUITE_P(Decoder, DamagedInput, testing::ValuesIn(damageCases()),
                         [](const testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

// xob-recorder decodes records as the device stand-in cuts them, one at a time, whatever their length fields say.
TEST(DecoderRecord, SingleRecordsWithImpossibleLengthsAreReportedNotRead) {
    const std::pair<Bytes, const char*> cases[] = {
        {{0, 0, 0, 0, 0, 0, 0, 6, 0x3E, 0, 1, 0, 2, 0xA2}, "impossible length field 0"},
        {{0xFF, 0xFF, 0, 0, 8, 0, 0x59, 0x07, 1, 0, 0, 0, 2, 1}, "impossible length field 65535"},
        {{4, 0, 0, 0, 12, 0, 1, 0}, "impossible length field 4"},
        {{6, 0, 0, 0, 8, 0, 0x59, 0x07}, "has no room for its timestamp"},
        {{8, 0, 0, 0, 13}, "5 bytes are not a record"},
    };
    for (const auto& c : cases) {
        const std::string line = textLine(decodeRecord(c.first.data(), c.first.size()));
        EXPECT_NE(line.find(c.second), std::string::npos) << line;
    }
}

// Garbage of every length and content between well-formed records: the lines cover the stream
// exactly, one after another, and reads stay inside it (the sanitizer builds check the latter).
TEST(DecoderStream, LinesCoverEveryByteOfAnyStream) {
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Bytes stream = kPrepare;
        for (int i = 0; i < round % 60; ++i) {
            seed = seed * 1103515245u + 12345u;
            stream.push_back(static_cast<std::uint8_t>(seed >> 16));
        }
        // Then Nav_StartRGHDU_LogEntry, 22 bytes, and a StopFlush.
        stream = stream + xobtest::logEntry(0x418, 5, Bytes{1, 2, 'a', 0, 'b', 0, 2, 0, 0, 0}) + kStop;
        std::size_t next = 0;
        decodeStream(stream.data(), stream.size(), [&](const DecodedRecord& r) {
            EXPECT_EQ(r.offset, next);
            EXPECT_GT(r.size, 0u);
            next = r.offset + r.size;
        });
        EXPECT_EQ(next, stream.size());
    }
}

// A record is reported as soon as its last byte has arrived, and what the decoder holds back
// stays within one record however long the damage runs.
TEST(DecoderStream, ReportsEachRecordAtOnceAndHoldsBackAtMostOneRecord) {
    std::size_t lines = 0;
    StreamDecoder decoder([&](const DecodedRecord&) { ++lines; });
    decoder.feed(kPrepare.data(), kPrepare.size() - 1);
    EXPECT_EQ(lines, 0u);
    decoder.feed(&kPrepare.back(), 1);
    EXPECT_EQ(lines, 1u);
    const Bytes garbage(1 << 16, 0xFF);  // one impossible length field after another
    for (std::size_t i = 0; i < garbage.size(); i += 100) {
        decoder.feed(garbage.data() + i, std::min<std::size_t>(100, garbage.size() - i));
        ASSERT_LE(decoder.held(), kMaxRecordSize);
    }
    // A header that could start a record of 2056 bytes: only the end of the stream tells it is not.
    const Bytes tail = Bytes{0x06, 0x08} + Bytes(kPrepare.begin() + 2, kPrepare.end()) + kStop;
    decoder.feed(tail.data(), tail.size());
    EXPECT_EQ(lines, 1u);
    decoder.finish();
    EXPECT_EQ(lines, 3u);  // the garbage up to the StopFlush, then the StopFlush
}
