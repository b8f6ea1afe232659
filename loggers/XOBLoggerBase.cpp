// The common ground of the navigation loggers: the trace channel "PC_XOBLOG" with its trace lines,
// the capped Latin-1 conversion and the navigation error report.
#include <xob/XOBLogger.h>

#include "loggers/LoggerSupport.h"

#include <pthread.h>
#include <sstream>

namespace {

// Built before every other load-time object of the library (the factory's singleton mutex follows
// at 1002, the ring at 1003) and so destroyed after all of them, the factory and its loggers
// included: every logger may trace until it is gone.
tracing::Channel g_traceChannel __attribute__((init_priority(1001)))("PC_XOBLOG", 7, 2);

// Trace lines are written at level 1, and only while the channel's level is below 2.
constexpr short kTraceLevel = 1;
constexpr short kTraceAdmittedBelow = 2;

}  // namespace

namespace xob {
namespace loggers {

bool traceEnabled() noexcept { return g_traceChannel.GetLevel() < kTraceAdmittedBelow; }

void trace(const char* operation, const std::string& message) noexcept {
    if (!traceEnabled()) {
        return;
    }
    try {
        std::ostringstream line;
        line << "TID " << pthread_self() << ": " << operation << ": " << message;
        g_traceChannel.log(kTraceLevel, line.str());
    } catch (...) {
        // Out of memory: the line is lost, the operation goes on.
    }
}

}  // namespace loggers
}  // namespace xob

XOBLoggerBase::XOBLoggerBase(osal::Mutex& mutex) : m_mutex(mutex) {}

XOBLoggerBase::~XOBLoggerBase() = default;

tracing::Channel& XOBLoggerBase::TraceChannel() { return g_traceChannel; }

SDByteArray XOBLoggerBase::ToCappedLatin1(const SDString& text, int cap) {
    SDString copy(text);
    if (cap > 0 && copy.GetLength() > static_cast<long>(cap) + 1) {
        // Keep cap + 1 characters and end the 8-bit text after the first `cap` of them.
        copy.Chop(static_cast<long>(cap) + 1);
        copy.SetAt(cap, SDChar('\0'));
    }
    return copy.ToLatin1();
}

void XOBLoggerBase::Nav_Error_ReportError(SDString text) {
    xob::loggers::ScopedLock lock(m_mutex);
    const SDByteArray bytes = ToCappedLatin1(text, 128);
    GXob::Nav_Error_ReportError_LogEntry(bytes.GetConstData(), false, 0);
}
