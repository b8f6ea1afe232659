#pragma once

// Where the forked child of a threaded process cannot be trusted to run, whatever the library does.

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define XOBTEST_ADDRESS_SANITIZER 1
#elif defined(__SANITIZE_THREAD__)
#define XOBTEST_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XOBTEST_ADDRESS_SANITIZER 1
#elif __has_feature(thread_sanitizer)
#define XOBTEST_THREAD_SANITIZER 1
#endif
#endif

namespace xobtest {

// Why forked children of a threaded process cannot run in this test environment, or nullptr if they can.
inline const char* whyForkedChildrenCannotRun() {
    if (std::getenv("XOBTEST_EMULATED") != nullptr) {
        // qemu-user (7.2) aborts with an internal assertion when such a child starts a thread.
        return "qemu-user cannot start threads in a forked child of a threaded process";
    }
#if defined(XOBTEST_ADDRESS_SANITIZER)
    // GCC 12's AddressSanitizer runtime does not take its allocator's locks around fork(): a child
    // forked while another thread allocates inherits that lock held and blocks on its next
    // allocation. glibc's malloc, used outside the sanitizer builds, locks its arenas around fork().
    return "the AddressSanitizer runtime does not lock its allocator across fork()";
#else
    return nullptr;
#endif
}

// The same, when other threads of the parent record at the fork and the child records too: under
// the ThreadSanitizer runtime such a child now and then hangs (seen: 2 children in 200).
inline const char* whyForkedChildrenCannotAllocate() {
#if defined(XOBTEST_THREAD_SANITIZER)
    return "a child forked while threads record can hang in the ThreadSanitizer runtime";
#else
    return whyForkedChildrenCannotRun();
#endif
}

}  // namespace xobtest

// Skips the current test where forked children of a threaded process cannot run.
#define XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN()                                  \
    do {                                                                        \
        if (const char* why = xobtest::whyForkedChildrenCannotRun()) {          \
            GTEST_SKIP() << why;                                                \
        }                                                                       \
    } while (false)
