// Test main of every test program: sets up the system-log capture (where the program asks for it)
// before any thread exists, then runs the tests.
#include "TestKit.h"

int main(int argc, char** argv) {
#ifdef XOBTEST_WANTS_SYSLOG
    xobtest::SyslogCapture::install();
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
