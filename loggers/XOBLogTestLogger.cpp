// The inert timed logger: its timer is never started, and its operations do nothing.
#include <xob/XOBLogger.h>

namespace {

void onTimer(osal::Timer* timer) {
    if (timer != nullptr) {
        static_cast<XOBLogTestLogger*>(timer)->Update();
    }
}

}  // namespace

XOBLogTestLogger::XOBLogTestLogger() : osal::Timer(&onTimer, false), m_flag(false), m_logging(false) {}

XOBLogTestLogger::~XOBLogTestLogger() { stop(); }

void XOBLogTestLogger::Start(unsigned long, SDString, bool) {}

void XOBLogTestLogger::Stop() {}

void XOBLogTestLogger::Update() {}

bool XOBLogTestLogger::IsLogging() const { return m_logging; }
