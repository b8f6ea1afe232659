// The services that QNX and Linux provide alike through POSIX: sleeping, the device's path and
// close, the record copies' memory and the detached writer thread. The test variant of the library
// can replace several of them through its seams.
#include "platform/Os.h"

#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

#ifdef XOB_TEST_SEAMS
#include "platform/Seams.h"
#endif

namespace xob {
namespace platform {

void sleepSeconds(unsigned seconds) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::SleepHook hook = seams::sleepHook()) {
        hook(seconds);
        return;
    }
#endif
    ::sleep(seconds);
}

const char* devicePath() noexcept {
#ifdef XOB_TEST_SEAMS
    if (const char* path = seams::devicePath()) {
        return path;
    }
#endif
    return XOB_DEVICE_PATH;
}

void closeDevice(int descriptor) noexcept { ::close(descriptor); }

void* allocateRecord(std::size_t size) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::AllocationHook hook = seams::allocationHook()) {
        return hook(size);
    }
#endif
    return std::malloc(size);
}

int startDetachedThread(void* (*routine)(void*)) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::ThreadStartHook hook = seams::threadStartHook()) {
        if (const int error = hook()) {
            return error;
        }
    }
#endif
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0) {
        return error;
    }
    error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (error == 0) {
        pthread_t thread;
        error = pthread_create(&thread, &attributes, routine, nullptr);
    }
    pthread_attr_destroy(&attributes);
    return error;
}

}  // namespace platform
}  // namespace xob
