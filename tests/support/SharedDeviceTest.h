// A parameterised test fixture whose whole suite shares one device stand-in: creating a FIFO and
// its reader for every case would only slow the table-driven suites down.
#ifndef XOB_TESTS_SHAREDDEVICETEST_H
#define XOB_TESTS_SHAREDDEVICETEST_H

#include "TestKit.h"

namespace xobtest {

template <typename Param>
class SharedDeviceTest : public testing::TestWithParam<Param> {
protected:
    static void SetUpTestSuite() { s_device = new DeviceStandIn; }
    static void TearDownTestSuite() {
        delete s_device;
        s_device = nullptr;
    }
    static DeviceStandIn* s_device;
};

template <typename Param>
DeviceStandIn* SharedDeviceTest<Param>::s_device = nullptr;

}  // namespace xobtest

#endif
