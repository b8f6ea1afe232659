// A small client of libxob, as a head-unit process would use it: it asks the recorder to
// initialise the navigation log files, switches the recorder on and records a few entries. Every
// call returns at once; the library's writer thread delivers the records in the background, and
// the records still queued when main returns are delivered on the way out.
#include <xob/GXob.h>

#include <cstdio>
#include <initializer_list>

int main() {
    GXob::Init_NavLogfiles();

    const int flag = GXob::writeSetXobActivFlag(true);
    std::printf("example: recorder active flag %s\n", flag == 0 ? "set" : "not set (device absent?)");

    for (std::uint16_t id : {0x700, 0x701, 0x702}) {
        GXob::Init_Files(id);
    }
    std::printf("example: records queued; the writer thread delivers them\n");
    return 0;
}
