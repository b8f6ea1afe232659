// Sanitizer defaults for the test programs and their child processes (ignored without a sanitizer).
// - die_after_fork=0: the fork tests let a forked child record, which starts a thread there.
// - atexit_sleep_ms=0: ThreadSanitizer otherwise sleeps a second at exit, which would hide
//   whether the library itself holds exit up.
extern "C" __attribute__((used, visibility("default"))) const char* __tsan_default_options() {
    return "die_after_fork=0:atexit_sleep_ms=0:second_deadlock_stack=1";
}
