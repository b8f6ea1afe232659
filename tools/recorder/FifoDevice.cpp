#include "FifoDevice.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xob {
namespace recorder {

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

FifoDevice::FifoDevice(std::string path, unsigned mode) : m_path(std::move(path)) {
    struct stat existing {};
    if (lstat(m_path.c_str(), &existing) == 0) {
        if (!S_ISFIFO(existing.st_mode)) {
            m_error = m_path + " exists and is not a FIFO; it is left as it is";
            return;
        }
        // An open for writing succeeds only while someone holds the FIFO open for reading.
        const int probe = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (probe >= 0) {
            close(probe);
            m_error = "the FIFO " + m_path + " has a reader already (another xob-recorder?); it is left as it is";
            return;
        }
        if (errno != ENXIO) {
            m_error = "cannot tell whether the FIFO " + m_path + " is in use: " + std::strerror(errno);
            return;
        }
        ::unlink(m_path.c_str());  // stale: no one reads it
    }
    // Made ready under a name of its own, both ends open and its mode set, and only then linked
    // to the path: a writer that finds the path finds it ready. The link fails, rather than
    // replace anything, should something have appeared at the path meanwhile.
    const std::string preparing = m_path + "." + std::to_string(getpid()) + ".new";
    if (mkfifo(preparing.c_str(), 0600) != 0) {
        m_error = "cannot create FIFO " + preparing + ": " + std::strerror(errno);
        return;
    }
    m_readEnd = open(preparing.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat created {};
    if (m_readEnd >= 0 && fstat(m_readEnd, &created) == 0 && fchmod(m_readEnd, static_cast<mode_t>(mode)) == 0) {
        m_keepAliveWriteEnd = open(preparing.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (m_keepAliveWriteEnd >= 0 && link(preparing.c_str(), m_path.c_str()) == 0) {
        m_linked = true;
        m_device = created.st_dev;
        m_inode = created.st_ino;
    } else {
        m_error = "cannot create FIFO " + m_path + ": " + std::strerror(errno);
        if (m_keepAliveWriteEnd >= 0) {
            close(m_keepAliveWriteEnd);
            m_keepAliveWriteEnd = -1;
        }
        if (m_readEnd >= 0) {
            close(m_readEnd);
            m_readEnd = -1;
        }
    }
    ::unlink(preparing.c_str());
}

FifoDevice::~FifoDevice() {
    if (m_keepAliveWriteEnd >= 0) {
        close(m_keepAliveWriteEnd);
    }
    if (m_readEnd >= 0) {
        close(m_readEnd);
    }
    unlink();
}

void FifoDevice::unlink() {
    if (!m_linked) {
        return;
    }
    m_linked = false;
    struct stat now {};
    if (lstat(m_path.c_str(), &now) == 0 && S_ISFIFO(now.st_mode) && now.st_dev == m_device &&
        now.st_ino == m_inode) {
        ::unlink(m_path.c_str());
    }
}

bool FifoDevice::readAvailable(int maxReads, int& records, const RecordHandler& onRecord) {
    std::uint8_t chunk[16384];
    for (int i = 0; i < maxReads; ++i) {
        const ssize_t got = read(m_readEnd, chunk, sizeof chunk);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EAGAIN) {
                m_splitter.settle(
                    [&](Record&& record) {
                        ++records;
                        onRecord(std::move(record));
                    },
                    m_onSkip);
            }
            return false;
        }
        m_splitter.feed(
            chunk, static_cast<std::size_t>(got),
            [&](Record&& record) {
                ++records;
                onRecord(std::move(record));
            },
            m_onSkip);
    }
    return false;
}

int FifoDevice::pump(int timeoutMs, const RecordHandler& onRecord, const sigset_t* waitMask) {
    if (!ok()) {
        return 0;
    }
    pollfd watched{m_readEnd, POLLIN, 0};
    timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    const int ready = ppoll(&watched, 1, timeoutMs < 0 ? nullptr : &timeout, waitMask);
    if (ready < 0) {
        return errno == EINTR ? -1 : 0;
    }
    int records = 0;
    readAvailable(64, records, onRecord);  // bounded, so that the caller gets back to its signals
    return records;
}

FifoDevice::StopResult FifoDevice::drain(int budgetMs, const RecordHandler& onRecord) {
    StopResult result;
    unlink();
    if (!ok()) {
        return result;
    }
    if (m_keepAliveWriteEnd >= 0) {
        close(m_keepAliveWriteEnd);
        m_keepAliveWriteEnd = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
    int records = 0;
    for (;;) {
        if (readAvailable(64, records, onRecord)) {
            result.writersClosed = true;
            break;
        }
        const int left = remainingMs(deadline);
        if (left == 0) {
            readAvailable(64, records, onRecord);
            int unread = 0;
            result.droppedBytes = ioctl(m_readEnd, FIONREAD, &unread) == 0 ? static_cast<std::size_t>(unread) : 0;
            break;
        }
        pollfd watched{m_readEnd, POLLIN, 0};
        poll(&watched, 1, left);
    }
    m_splitter.finish(
        [&](Record&& record) {
            ++records;
            onRecord(std::move(record));
        },
        m_onSkip);
    close(m_readEnd);
    m_readEnd = -1;
    return result;
}

std::string describeRecord(const Record& record) {
    static const char* const kNames[] = {nullptr, nullptr, nullptr, nullptr, "InitFiles", nullptr,
                                         nullptr, nullptr, "LogEntry", nullptr, "FlushFilesReady",
                                         nullptr, "SetActivFlag", "StopFlush"};
    char line[128];
    if (record.size() < 8) {
        std::snprintf(line, sizeof line, "short record of %zu bytes", record.size());
        return line;
    }
    const unsigned command = record[4];
    const unsigned word6 = record[6] | (record[7] << 8);
    const char* name = command < sizeof kNames / sizeof kNames[0] ? kNames[command] : nullptr;
    std::string text = name != nullptr ? name : "Command" + std::to_string(command);
    std::size_t payloadStart = 8;
    if (command == 8 && record.size() >= 12) {
        const unsigned long time = record[8] | (record[9] << 8) | (record[10] << 16) |
                                   (static_cast<unsigned long>(record[11]) << 24);
        std::snprintf(line, sizeof line, " id=0x%03X time=%lu", word6, time);
        payloadStart = 12;
    } else if (command == 4 && record.size() >= 10) {
        std::snprintf(line, sizeof line, " id=0x%03X files-of=0x%03X", word6,
                      static_cast<unsigned>(record[8] | (record[9] << 8)));
        payloadStart = 10;
    } else {
        std::snprintf(line, sizeof line, " value=%u", word6);
    }
    text += line;
    if (record.size() > payloadStart) {
        text += " payload=";
        for (std::size_t i = payloadStart; i < record.size(); ++i) {
            std::snprintf(line, sizeof line, "%02X", record[i]);
            text += line;
        }
    }
    return text;
}

}  // namespace recorder
}  // namespace xob
