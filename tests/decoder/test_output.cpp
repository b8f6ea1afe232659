// What a diagnostic engineer reads: the aligned text line, the JSON object with its stable keys, and
// the escaping of texts in both.
#include "Decoder.h"
#include "Format.h"
#include "TestKit.h"

using namespace xob::decoder;
using xobtest::Bytes;
using xobtest::operator+;

DecodedRecord decode(const Bytes& record, std::size_t offset = 0) {
    return decodeRecord(record.data(), record.size(), offset);
}

// Nav_StartRGHDU_LogEntry: mode 2, texts "type=1" and "Station", reason 2 at time 123456.
const Bytes kStartRG = xobtest::logEntry(0x418, 123456, Bytes{1, 2} + xobtest::textField("type=1") +
                                                             xobtest::textField("Station") + Bytes{2, 0, 0, 0});

TEST(DecoderOutput, ClockIsHoursMinutesSecondsAndHundredths) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0:00:00.00"}, {99, "0:00:00.99"}, {6000, "0:01:00.00"}, {123456, "0:20:34.56"}, {0xFFFFFF, "46:36:12.15"}};
    for (const auto& c : cases) EXPECT_EQ(formatClock(c.first), c.second) << c.first;
}

TEST(DecoderOutput, TextsAreQuotedAndEscapedByteForByte) {
    const std::pair<std::string, const char*> cases[] = {
        {"", R"("")"}, {"plain text 1|2", R"("plain text 1|2")"}, {"say \"hi\" \\ now", R"("say \"hi\" \\ now")"},
        {"a\nb\tc\rd", R"("a\nb\tc\rd")"}, {std::string("\x01\x7F\x80\xE4\xFF", 5), R"("\x01\x7F\x80\xE4\xFF")"},
    };
    for (const auto& c : cases) EXPECT_EQ(quote(c.first), c.second);
    EXPECT_EQ(quote("'", '\''), R"('\'')");
    EXPECT_EQ(quote("\"", '\''), R"('"')");
    // JSON carries the recorded Latin-1 as UTF-8.
    EXPECT_EQ(latin1ToUtf8("A\xE4\xFF"), "A\xC3\xA4\xC3\xBF");
}

TEST(DecoderOutput, TextLineNamesEveryFieldUnderAlignedColumns) {
    const std::string header = textHeader();
    const std::string line = textLine(decode(kStartRG, 4242));
    EXPECT_EQ(line.substr(0, 8), "    4242");
    EXPECT_EQ(line.find("LogEntry"), header.find("command"));
    EXPECT_EQ(line.find("0:20:34.56") + 10, header.find("clock") + 5);
    EXPECT_EQ(line.find("0x418"), header.find("id"));
    EXPECT_EQ(line.find("Nav_StartRGHDU_LogEntry"), header.find("entry"));
    EXPECT_EQ(line.substr(header.find("fields")),
              R"(voiceGuidanceMode=VGM_TRAFFIC routeOptions="type=1" tmcStation="Station" reason=NSR_TmcRecalculationStart)");

    // Other commands line up the same way; a value the library has no name for stays a number.
    const std::string init = textLine(decode({8, 0, 0, 0, 4, 0, 3, 5, 0x26, 4}));
    EXPECT_EQ(init.substr(header.find("fields")), "filesOf=0x426");
    EXPECT_EQ(init.find("0x503"), header.find("id"));
    Bytes unnamed = kStartRG;
    unnamed[unnamed.size() - 4] = 7;
    EXPECT_NE(textLine(decode(unnamed)).find(" reason=7"), std::string::npos);
}

TEST(DecoderOutput, JsonHasStableKeysAndTypedValues) {
    const auto json = jsonRecord(decode(kStartRG, 10));
    EXPECT_EQ(json.dump(),  // the keys in this order
              R"({"offset":10,"size":33,"command":"LogEntry","commandCode":8,"timestamp":123456,)"
              R"("clock":"0:20:34.56","functionId":"0x418","sub":1,"entry":"Nav_StartRGHDU_LogEntry",)"
              R"("fields":{"voiceGuidanceMode":2,"voiceGuidanceModeName":"VGM_TRAFFIC","routeOptions":"type=1","tmcStation":"Station","reason":2,)"
              R"("reasonName":"NSR_TmcRecalculationStart"},"undecoded":null,"damage":[]})");

    // The same keys for another command, null where it has no value; Latin-1 texts become UTF-8.
    const auto flag = jsonRecord(decode({6, 0, 0, 0, 12, 0, 1, 0}));
    EXPECT_EQ(flag.size(), json.size());
    EXPECT_TRUE(flag["timestamp"].is_null());
    EXPECT_TRUE(flag["entry"].is_null());
    EXPECT_EQ(flag["fields"]["flag"], 1);
    const auto text = jsonRecord(decode(xobtest::logEntry(0x758, 1, {0, 'M', 0xFC, 'n', 0})));
    EXPECT_EQ(text["fields"]["text"], "M\xC3\xBCn");
    const auto damaged = jsonRecord(decode(xobtest::logEntry(0x999, 1, {0xAB})));
    EXPECT_EQ(damaged["undecoded"], "AB");
    EXPECT_EQ(damaged["damage"][0], "unknown function identifier 0x999");
}
