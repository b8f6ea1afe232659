// Linked into a program built against the library's test variant: the device path comes from
// XOBTEST_DEVICE, so that the program records into a FIFO the test made (the browser test runs the
// head-unit demo this way against xob-recorder).
#include "platform/Seams.h"

#include <cstdlib>

static const bool g_deviceSet = (xob::seams::setDevicePath(std::getenv("XOBTEST_DEVICE")), true);
