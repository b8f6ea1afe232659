// The queue transport: writeToXob copies each record into the process-wide ring under
// XOB_ThreadCmdMutex and starts a detached writer thread when none runs; the writer delivers the
// records one by one to the recorder device and ends as soon as it leaves the ring empty.
//
// Beyond the steady state, this file owns the transport's lifetime:
// - The ring is built at load (or by the first enqueue, should one come earlier) in static storage.
// - At exit, the records still queued get a bounded chance to reach the device (at most one second,
//   and none while the device cannot be opened); whatever is left is reported in one log line,
//   written once the mutex is released, like every line of the transport. The
//   writer is then kept away from the ring, so that it never touches freed memory, and the ring is
//   destroyed unless the writer is still inside a write (then its buffers stay where they are).
// - After fork() the child starts with an empty ring and no writer: the records queued in the
//   parent are the parent's to deliver.
// - A writer thread that cannot be started does not leave XOB_ThreadActive set; the next enqueue
//   tries again.
#include <xob/GXob.h>

#include "channel/RecordHeader.h"
#include "platform/Mutex.h"
#include "platform/Os.h"

#include <cerrno>
#include <new>

xob::platform::Mutex XOB_ThreadCmdMutex;
std::uint8_t XOB_ThreadActive = 0;

namespace {

using xob::platform::DeviceCheck;

constexpr int kOpenAttempts = 30;
constexpr int kWriteCalls = 10;
// Within a run of deliveries the writer checks what it opened at the first record, after any
// failed open, and at every 64th record; in between it trusts the path it has just seen holding a
// device. The check is a system call of its own: made for every record, it would cost a quarter
// of the delivery rate on a desk (open, check, write and close where the design has three calls).
// The price: something other than a device put at the path in place of the device while a run
// goes on may take up to 63 records before the writer notices.
constexpr unsigned kRecordsPerDeviceCheck = 64;
constexpr int kMaxPayloadLength = 2044;
constexpr std::uint64_t kExitBudgetNanoseconds = 1000000000u;
constexpr unsigned kExitLogWaitMilliseconds = 250;

// Guarded by XOB_ThreadCmdMutex, like the ring and XOB_ThreadActive.
alignas(SClientToDevXobQueue) unsigned char g_queueStorage[sizeof(SClientToDevXobQueue)];
bool g_queueBuilt = false;
bool g_exiting = false;            // exit has begun: no new records are taken
bool g_ringClosed = false;         // exit has drained what it could: the writer must leave the ring
bool g_delivering = false;         // the writer is using the head record's buffer outside the lock
bool g_deviceUnavailable = false;  // the writer's last attempt to open the device failed
unsigned g_queued = 0;             // records in the ring

SClientToDevXobQueue& queue() noexcept {
    return *std::launder(reinterpret_cast<SClientToDevXobQueue*>(g_queueStorage));
}

// Builds the ring if nothing has yet. Called with the mutex held, or before any thread exists.
void buildQueue() noexcept {
    if (!g_queueBuilt) {
        new (g_queueStorage) SClientToDevXobQueue();
        g_queueBuilt = true;
    }
}

std::uint32_t functionIdOf(const SClientToDevXob* record) noexcept {
    return xob::header::word(reinterpret_cast<const std::uint8_t*>(record));
}

std::uint32_t firstDataWordOf(const SClientToDevXob* record) noexcept {
    return xob::header::firstPayloadWord(reinterpret_cast<const std::uint8_t*>(record));
}

std::uint64_t nowNanoseconds() noexcept {
    std::uint64_t now = 0;
    xob::platform::monotonicNanoseconds(now);
    return now;
}

// The writer's lock: on failure it reports, sleeps a second and tries again, without limit.
void lockForWriter() noexcept {
    for (;;) {
        const int error = XOB_ThreadCmdMutex.lock();
        if (error == 0) {
            return;
        }
        xob::platform::systemLog("XOB:Error on Mutex-Lock. Retry in 1 Second (Error: '%i')", error);
        xob::platform::sleepSeconds(1);
    }
}

void unlock() noexcept { XOB_ThreadCmdMutex.unlock(); }

enum class Delivery { Done, Abandoned };

// Opens the device (up to 30 attempts a second apart; `check` for the first, Verify after a
// failure), writes the record in one call (repeated on EINTR, up to 10 calls) and closes it.
// Abandoned means that exit closed the ring while it slept; the buffer must then not be touched
// again.
Delivery deliver(const std::uint8_t* buffer, std::uint32_t size, DeviceCheck check, bool& opened) noexcept {
    int descriptor = -1;
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        descriptor = xob::platform::openDevice(xob::platform::DeviceAccess::WriteOnly, check);
        if (descriptor >= 0) {
            break;
        }
        check = DeviceCheck::Verify;
        lockForWriter();
        g_deviceUnavailable = true;
        g_delivering = false;
        unlock();
        xob::platform::systemLog("XOB: %s couldn't be opened! Retry in 1 Second...",
                                 xob::platform::devicePath());
        xob::platform::sleepSeconds(1);
        lockForWriter();
        const bool closed = g_ringClosed;
        g_delivering = !closed;
        unlock();
        if (closed) {
            return Delivery::Abandoned;  // the buffer may be gone: never touch it again
        }
    }
    opened = descriptor >= 0;
    if (!opened) {
        return Delivery::Done;  // given up after the last attempt
    }
    for (int call = 1; call <= kWriteCalls; ++call) {
        const ssize_t written = xob::platform::writeDevice(descriptor, buffer, size);
        if (written >= 0 || errno != EINTR) {
            break;
        }
    }
    xob::platform::closeDevice(descriptor);
    return Delivery::Done;
}

void forkPrepare() noexcept { XOB_ThreadCmdMutex.lock(); }

void forkParent() noexcept { unlock(); }

// The child has one thread, the one that forked. Its copy of the ring holds the parent's records
// (the parent delivers them) and no writer thread serves it: start from an empty ring.
void forkChild() noexcept {
    XOB_ThreadCmdMutex.resetInChild();
    if (g_queueBuilt && !g_ringClosed) {
        queue().~SClientToDevXobQueue();
        g_queueBuilt = false;
        buildQueue();
    }
    g_queued = 0;
    XOB_ThreadActive = 0;
    g_delivering = false;
    g_deviceUnavailable = false;
}

// Builds the ring at load and runs the exit sequence when the library's statics are destroyed.
class TransportLifetime {
public:
    TransportLifetime() noexcept {
        XOB_ThreadCmdMutex.lock();
        buildQueue();
        unlock();
        xob::platform::registerForkHandlers(forkPrepare, forkParent, forkChild);
    }

    ~TransportLifetime() {
        lockForWriter();
        g_exiting = true;
        drainBriefly();
        g_ringClosed = true;
        // Every record not yet removed is counted, the one the writer may still be writing too:
        // nothing can tell whether that write will end before the process does.
        const unsigned leftover = g_queued;
        if (g_queueBuilt && !g_delivering) {
            queue().~SClientToDevXobQueue();
            g_queueBuilt = false;
        }
        unlock();
        // The last lines of the process: they may wait a little for a slow log reader.
        xob::platform::systemLogFinish(kExitLogWaitMilliseconds);
        if (leftover != 0) {
            xob::platform::systemLog("XOB: %u Log-Entries still queued at exit are Lost!", leftover);
        }
    }

    TransportLifetime(const TransportLifetime&) = delete;
    TransportLifetime& operator=(const TransportLifetime&) = delete;

private:
    // Lets a writer that is making progress empty the ring, for one second at most. Called and
    // returns with the mutex held; releases it while waiting.
    static void drainBriefly() noexcept {
        const std::uint64_t deadline = nowNanoseconds() + kExitBudgetNanoseconds;
        while (g_queueBuilt && XOB_ThreadActive != 0 && !g_deviceUnavailable &&
               (!queue().isEmpty() || g_delivering) && nowNanoseconds() < deadline) {
            unlock();
            xob::platform::pauseMilliseconds(1);
            lockForWriter();
        }
    }
};

// Load order of the library's own statics is fixed by priority, not left to link order: the trace
// channel (1001), the logger factory's singleton mutex (1002), then the ring (1003). Exit destroys
// them in reverse, after the factory and its loggers, which come into being later, on first use.
TransportLifetime g_transportLifetime __attribute__((init_priority(1003)));

}  // namespace

// The process-wide ring of pending records, built in g_queueStorage.
SClientToDevXobQueue& XOB_ThreadCmdQueue = queue();

namespace GXob {

void writeToXob(SClientToDevXob* record, int payloadLength, bool useCallerTime, int callerTime,
                EDevXobCommands command) noexcept {
    if (record == nullptr) {
        return;
    }
    if (payloadLength < 0 || payloadLength > kMaxPayloadLength) {
        xob::platform::systemLog("XOB: Invalid payload length %d. LogEntry is Lost! (functionId: '0x%03X')",
                                 payloadLength, functionIdOf(record));
        return;
    }
    std::uint8_t* header = reinterpret_cast<std::uint8_t*>(record);
    int size = payloadLength + static_cast<int>(xob::header::kSize);
    if (command == EDevXob_LogEntry) {
        const std::uint32_t time = useCallerTime ? static_cast<std::uint32_t>(callerTime) & 0x00FFFFFFu
                                                 : getApiHundredthSecond();
        xob::header::setTimestamp(header, time);
        size = payloadLength + static_cast<int>(xob::header::kLogEntryHeaderSize);
    }
    xob::header::setCommand(header, command);
    xob::header::setSize(header, static_cast<unsigned>(size));

    const int lockError = XOB_ThreadCmdMutex.lock();
    if (lockError != 0) {
        xob::platform::systemLog(
            "XOB: Lost Log-Entry, due to Error on Mutex-Lock. (Error: '%i', functionId: '0x%03X', "
            "ui32Data[0]: '0x%08X')",
            lockError, functionIdOf(record), firstDataWordOf(record));
        return;
    }
    // Messages are written after unlocking, so that a slow system log never holds up producers.
    const bool exiting = g_exiting;
    bool taken = false;
    int startError = 0;
    if (!exiting) {
        buildQueue();
        taken = queue().writeElement(record) != 0;
        g_queued += taken ? 1u : 0u;
        if (XOB_ThreadActive == 0) {
            XOB_ThreadActive = 1;
            startError = xob::platform::startDetachedThread(writeToXobFunction);
            if (startError != 0) {
                XOB_ThreadActive = 0;  // no thread is behind the flag: the next enqueue tries again
            }
        }
    }
    unlock();

    if (exiting) {
        xob::platform::systemLog(
            "XOB: Process is exiting. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')",
            functionIdOf(record), firstDataWordOf(record));
    } else if (!taken) {
        xob::platform::systemLog(
            "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: "
            "'0x%08X')",
            functionIdOf(record), firstDataWordOf(record));
    }
    if (startError != 0) {
        xob::platform::systemLog(
            "XOB: Writer thread couldn't be started (Error: '%i'). Retry with the next Log-Entry",
            startError);
    }
}

void* writeToXobFunction(void*) noexcept {
    unsigned trustedOpens = 0;  // opens left before the device is checked again
    for (;;) {
        lockForWriter();
        if (g_ringClosed) {
            XOB_ThreadActive = 0;
            unlock();
            return nullptr;
        }
        const std::uint32_t size = queue().getElementSize();
        std::uint8_t* const buffer = queue().getElementBuffer();
        g_delivering = buffer != nullptr && size != 0;
        unlock();

        bool opened = false;
        Delivery delivery = Delivery::Done;
        if (buffer == nullptr || size == 0) {
            xob::platform::systemLog("XOB: Element defective");
        } else {
            const DeviceCheck check = trustedOpens != 0 ? DeviceCheck::Trust : DeviceCheck::Verify;
            delivery = deliver(buffer, size, check, opened);
            trustedOpens = !opened                      ? 0
                           : check == DeviceCheck::Trust ? trustedOpens - 1
                                                         : kRecordsPerDeviceCheck - 1;
        }

        lockForWriter();
        g_delivering = false;
        if (g_ringClosed || delivery == Delivery::Abandoned) {
            XOB_ThreadActive = 0;
            unlock();
            return nullptr;
        }
        if (opened) {
            g_deviceUnavailable = false;
        }
        // Remove only the record this pass delivered. When the head was empty (a refused record
        // started this writer), a record queued since then is now the head and still undelivered.
        if (buffer != nullptr && size != 0) {
            g_queued -= static_cast<unsigned>(queue().deleteElement());
        }
        const bool ending = queue().isEmpty();
        if (ending) {
            XOB_ThreadActive = 0;
        }
        unlock();
        if (ending) {
            return nullptr;
        }
    }
}

bool getXOBThreadActive() noexcept {
    XOB_ThreadCmdMutex.lock();
    const bool active = XOB_ThreadActive != 0;
    unlock();
    return active;
}

void Init_Files(std::uint16_t functionId) noexcept {
    SClientToDevXob record;
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&record);
    xob::header::clearSpare(bytes);
    xob::header::setWord(bytes, 0x503u);
    xob::header::setFilesOf(bytes, functionId);
    writeToXob(&record, xob::header::kInitFilesSize - xob::header::kSize, false, 0, EDevXob_InitFiles);
}

void Init_NavLogfiles() noexcept {
    Init_Files(0x418);
    Init_Files(0x426);
    Init_Files(0x420);
}

}  // namespace GXob
