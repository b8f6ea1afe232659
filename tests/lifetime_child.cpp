// Child process of the lifetime tests: records a burst and exits by returning from main while the
// writer thread is still at work, so that the library's exit sequence runs for real.
//
//   xob_lifetime_child send DEVICE COUNT PAYLOAD [RETRY_SLEEP_SECONDS]
//       queue COUNT entries of PAYLOAD bytes and return from main
//   xob_lifetime_child drain DEVICE COUNT PAYLOAD
//       the same without pauses between open attempts, but return only once the writer has ended
//       (exit status 3 if it has not within 20 s)
#include <xob/GXob.h>

#include "channel/RecordBuilder.h"
#include "platform/Seams.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

unsigned g_retrySleepSeconds = 1;
void longRetrySleep(unsigned) { std::this_thread::sleep_for(std::chrono::seconds(g_retrySleepSeconds)); }
void noRetrySleep(unsigned) {}

int send(const char* device, int count, int payload) {
    xob::seams::setDevicePath(device);
    std::vector<std::uint8_t> filler(static_cast<std::size_t>(payload), 0x5A);
    for (int i = 0; i < count; ++i) {
        xob::RecordBuilder(0x409).u32le(static_cast<std::uint32_t>(i)).bytes(filler.data(), payload).send(true, 1);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "send" && (argc == 5 || argc == 6)) {
        if (argc == 6) {
            // The writer's pause between open attempts, made long enough that an exit waiting for
            // it could not go unnoticed even on a loaded machine.
            g_retrySleepSeconds = static_cast<unsigned>(std::atoi(argv[5]));
            xob::seams::setSleepHook(&longRetrySleep);
        }
        return send(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    }
    if (mode == "drain" && argc == 5) {
        xob::seams::setSleepHook(&noRetrySleep);
        send(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
        for (int waited = 0; GXob::getXOBThreadActive(); ++waited) {
            if (waited == 20000) {
                return 3;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }
    std::fprintf(stderr, "usage: %s send DEVICE COUNT PAYLOAD [RETRY_SLEEP_SECONDS] | drain DEVICE COUNT PAYLOAD\n",
                 argv[0]);
    return 2;
}
