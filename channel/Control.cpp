// The direct control commands: written (or read back) by the calling thread on a descriptor of
// its own, outside the queue, so they may overtake records queued earlier.
#include <xob/GXob.h>

#include "channel/RecordHeader.h"
#include "platform/Os.h"

#include <cstdio>

namespace {

constexpr int kControlRecordSize = xob::header::kSize;

// A control record is the header alone: the command, and its u16 argument in the header's word.
void buildControlRecord(std::uint8_t (&record)[kControlRecordSize], EDevXobCommands command,
                        unsigned argument) noexcept {
    xob::header::setSize(record, kControlRecordSize);
    xob::header::setCommand(record, command);
    xob::header::clearSpare(record);
    xob::header::setWord(record, argument);
}

struct ControlOutcome {
    bool opened;
    ssize_t written;
    bool complete() const noexcept { return opened && written == kControlRecordSize; }
};

// Opens the device read-write, writes the record in one call (raising no SIGPIPE in the caller
// when the other side is gone) and closes it.
ControlOutcome sendControlRecord(EDevXobCommands command, unsigned argument) noexcept {
    const int descriptor = xob::platform::openDevice(xob::platform::DeviceAccess::ReadWrite);
    if (descriptor < 0) {
        return ControlOutcome{false, -1};
    }
    std::uint8_t record[kControlRecordSize];
    buildControlRecord(record, command, argument);
    const ssize_t written = xob::platform::writeDeviceWithoutSignal(descriptor, record, sizeof record);
    xob::platform::closeDevice(descriptor);
    return ControlOutcome{true, written};
}

}  // namespace

namespace GXob {

int writeSetXobActivFlag(bool active) noexcept {
    return sendControlRecord(EDevXob_SetActivFlag, active ? 1u : 0u).complete() ? 0 : -1;
}

int doStop_Flush() noexcept {
    // A device that cannot be opened counts as done; only a short or failed write yields 1.
    const ControlOutcome outcome = sendControlRecord(EDevXob_StopFlush, 0);
    return !outcome.opened || outcome.complete() ? 0 : 1;
}

int writeFlush_Files_Ready(int descriptor) noexcept {
    if (descriptor < 1) {
        return -1;
    }
    // Wait until the reply is readable, 10 s at most.
    int result = 0;
    const xob::platform::Readiness readiness = xob::platform::waitReadable(descriptor, 10000);
    if (readiness == xob::platform::Readiness::Failed) {
        result = -2;
    } else if (readiness == xob::platform::Readiness::TimedOut) {
        result = -3;
    } else {
        std::uint8_t reply[kControlRecordSize];
        if (xob::platform::readDevice(descriptor, reply, sizeof reply) < static_cast<ssize_t>(sizeof reply)) {
            result = -5;
        } else if (xob::header::command(reply) != EDevXob_FlushFilesReady || xob::header::word(reply) != 0) {
            result = -4;
        }
    }
    xob::platform::closeDevice(descriptor);
    return result;
}

int writeFlush_Files() noexcept {
    std::printf("XOB: Flush not supported in xobWriteHDU\n");
    return -2;
}

}  // namespace GXob
