#include <xob/GXob.h>

#include <cstdio>

int main() {
    // With no recorder device present this returns -1 at once; the library never blocks a caller.
    std::printf("set active flag: %d\n", GXob::writeSetXobActivFlag(true));
    std::printf("writer thread active: %d\n", GXob::getXOBThreadActive() ? 1 : 0);
    return 0;
}
