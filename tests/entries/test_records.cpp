// Every golden record (records.golden), byte for byte: the call of each line is made with the
// golden caller time, then a marker entry, and everything that reaches the device up to the marker
// must be the line's record, or nothing where the line says "none".
#include "Golden.h"

using namespace xobtest;

TEST(GoldenRecords, EveryCallSendsExactlyItsRecord) {
    const auto cases = goldenCases(XOBTEST_GOLDEN_RECORDS);
    ASSERT_GT(cases.size(), 100u);
    DeviceStandIn device;
    int markerTime = 0x200000;  // a fresh one per call: a stray record of one call cannot pass for another's
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(makeCall(c.call, c.args, kGoldenTime)) << "no such call, or arguments that do not fit it";
        GXob::GoogleNav_StartRGHDU_LogEntry(true, ++markerTime);
        const Bytes marker = logEntry(0x756, static_cast<std::uint32_t>(markerTime), {1});
        std::string received;
        for (Bytes record; device.next(record) && record != marker;) received += hex(record) + "\n";
        EXPECT_EQ(received, c.records ? hex(c.bytes) + "\n" : "");
    }
}
