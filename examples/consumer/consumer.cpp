#include <xob/GXob.h>

#include <cstdio>

int main() {
    // Queued at once; the library's writer thread delivers it to the recorder device (with no
    // device present the record is dropped and reported in the system log: a caller never waits).
    GXob::WatchDogHDU_LogEntry("consumer", "built against the installed libxob", false, 0);
    std::printf("set active flag: %d\n", GXob::writeSetXobActivFlag(true));
    return 0;
}
