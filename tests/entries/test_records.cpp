// Every golden record (records.golden), byte for byte: the call of each line is made with the
// golden caller time, then a marker entry, and everything that reaches the device up to the marker
// must be the line's record, or nothing where the line says "none".
#include "Golden.h"

#include "TestKit.h"

namespace {

TEST(GoldenRecords, EveryCallSendsExactlyItsRecord) {
    const auto cases = xobtest::goldenCases(XOBTEST_GOLDEN_RECORDS);
    ASSERT_GT(cases.size(), 100u);
    xobtest::DeviceStandIn device;
    int markerTime = 0x200000;  // a fresh one per call: a stray record of one call cannot pass for another's
    for (const xobtest::GoldenCase& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_TRUE(xobtest::makeCall(c.call, c.args, xobtest::kGoldenTime)) << "no such call, or arguments that do not fit it";
        GXob::GoogleNav_StartRGHDU_LogEntry(true, ++markerTime);
        const xobtest::Bytes marker = xobtest::logEntry(0x756, static_cast<std::uint32_t>(markerTime), {1});
        std::string received;
        for (xobtest::Bytes record; device.next(record) && record != marker;) {
            received += xobtest::hex(record) + "\n";
        }
        EXPECT_EQ(received, c.records ? xobtest::hex(c.bytes) + "\n" : "");
    }
}

}  // namespace
