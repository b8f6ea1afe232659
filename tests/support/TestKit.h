// The test kit in one include: GoogleTest, the library's interface, the device stand-in, child
// processes, the one way to wait, the system-log capture, and the standard and POSIX headers that
// the tests share. A test includes what else it needs itself.
#ifndef XOB_TESTS_TESTKIT_H
#define XOB_TESTS_TESTKIT_H

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "Eventually.h"
#include "SyslogCapture.h"

#include <xob/GXob.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#endif
