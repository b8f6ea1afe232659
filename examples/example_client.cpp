// A small client of libxob, as a head-unit process would use it: it asks the recorder to
// initialise the navigation log files, switches the recorder on and records a few entries. Every
// call returns at once; the library's writer thread delivers the records in the background, and
// the records still queued when main returns are delivered on the way out.
#include <xob/GXob.h>

#include <cstdio>

int main() {
    GXob::Init_NavLogfiles();

    const int flag = GXob::writeSetXobActivFlag(true);
    std::printf("example: recorder active flag %s\n", flag == 0 ? "set" : "not set (device absent?)");

    // The trailing pair (false, 0) stamps each entry with the monotonic clock when it is queued.
    GXob::Nav_SWDL_Check(3, "/mnt/update/nav/map.pkg", false, 0);
    GXob::Nav_SWDL_Check_Result(3, "/mnt/update/nav/map.pkg", 0, false, 0);
    GXob::Nav_StartRGHDU_LogEntry(1, "type=0 dyn=1", "A8 Stuttgart", GXob::NSR_ManualStart, false, 0);
    GXob::MemoryHDU_LogEntry(48u * 1024 * 1024, false, 0);
    GXob::TelFix_CallDropped_LogEntry("network lost", false, 0);
    GXob::WatchDogHDU_LogEntry("navcore", "heartbeat missed", false, 0);

    std::printf("example: entries queued; the writer thread delivers them\n");
    return 0;
}
