#include "platform/Seams.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace xob {
namespace seams {
namespace {

// The path is copied so that a test may pass a temporary string.
char g_devicePath[4096];
std::atomic<bool> g_devicePathSet{false};
std::atomic<SleepHook> g_sleepHook{nullptr};
std::atomic<WriteHook> g_writeHook{nullptr};
std::atomic<ThreadStartHook> g_threadStartHook{nullptr};
std::atomic<AllocationHook> g_allocationHook{nullptr};

}  // namespace

void setDevicePath(const char* path) noexcept {
    g_devicePathSet.store(false);
    if (path != nullptr) {
        std::strncpy(g_devicePath, path, sizeof g_devicePath - 1);
        g_devicePathSet.store(true);
    }
}

void setSleepHook(SleepHook hook) noexcept { g_sleepHook.store(hook); }
void setWriteHook(WriteHook hook) noexcept { g_writeHook.store(hook); }
void setThreadStartHook(ThreadStartHook hook) noexcept { g_threadStartHook.store(hook); }
void setAllocationHook(AllocationHook hook) noexcept { g_allocationHook.store(hook); }

const char* devicePath() noexcept { return g_devicePathSet.load() ? g_devicePath : nullptr; }
const char* logSocketPath() noexcept { return std::getenv(kLogSocketVariable); }
SleepHook sleepHook() noexcept { return g_sleepHook.load(); }
WriteHook writeHook() noexcept { return g_writeHook.load(); }
ThreadStartHook threadStartHook() noexcept { return g_threadStartHook.load(); }
AllocationHook allocationHook() noexcept { return g_allocationHook.load(); }

}  // namespace seams
}  // namespace xob
