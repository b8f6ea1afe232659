#include "FifoDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xob {
namespace recorder {

void RecordSplitter::feed(const std::uint8_t* data, std::size_t size,
                          const std::function<void(Record&&)>& onRecord) {
    m_pending.insert(m_pending.end(), data, data + size);
    std::size_t start = 0;
    while (m_pending.size() - start >= 2) {
        const std::size_t total = (m_pending[start] | (m_pending[start + 1] << 8)) + 2u;
        if (m_pending.size() - start < total) {
            break;
        }
        onRecord(Record(m_pending.begin() + static_cast<long>(start),
                        m_pending.begin() + static_cast<long>(start + total)));
        start += total;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(start));
}

FifoDevice::FifoDevice(std::string path) : m_path(std::move(path)) {
    struct stat existing {};
    if (lstat(m_path.c_str(), &existing) == 0) {
        if (!S_ISFIFO(existing.st_mode)) {
            m_error = m_path + " exists and is not a FIFO";
            return;
        }
        ::unlink(m_path.c_str());
    }
    if (mkfifo(m_path.c_str(), 0666) != 0) {
        m_error = "cannot create FIFO " + m_path + ": " + std::strerror(errno);
        return;
    }
    m_linked = true;
    m_readEnd = open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_readEnd >= 0) {
        m_keepAliveWriteEnd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (m_readEnd < 0 || m_keepAliveWriteEnd < 0) {
        m_error = "cannot open FIFO " + m_path + ": " + std::strerror(errno);
        if (m_readEnd >= 0) {
            close(m_readEnd);
            m_readEnd = -1;
        }
    }
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
    if (m_linked) {
        ::unlink(m_path.c_str());
        m_linked = false;
    }
}

int FifoDevice::pump(int timeoutMs, const std::function<void(Record&&)>& onRecord) {
    if (!ok()) {
        return 0;
    }
    pollfd watched{m_readEnd, POLLIN, 0};
    const int ready = poll(&watched, 1, timeoutMs);
    if (ready < 0) {
        return errno == EINTR ? -1 : 0;
    }
    int records = 0;
    std::uint8_t chunk[16384];
    for (;;) {
        const ssize_t got = read(m_readEnd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        m_splitter.feed(chunk, static_cast<std::size_t>(got), [&](Record&& record) {
            ++records;
            onRecord(std::move(record));
        });
    }
    return records;
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
