// FifoDevice: a named pipe standing in for the recorder device on a Linux desk. It keeps both
// ends open, so writers can open it at any time without blocking and reads never see end of
// file between writers, and it splits what arrives into command records by their length field.
// Used by xob-recorder and, through the same code, by the tests.
#ifndef XOB_TOOLS_FIFODEVICE_H
#define XOB_TOOLS_FIFODEVICE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xob {
namespace recorder {

using Record = std::vector<std::uint8_t>;

// Cuts a byte stream into records: each starts with its u16 little-endian length field, which
// counts the bytes after it. Partial records are kept until the rest arrives.
class RecordSplitter {
public:
    void feed(const std::uint8_t* data, std::size_t size, const std::function<void(Record&&)>& onRecord);
    std::size_t pendingBytes() const { return m_pending.size(); }

private:
    std::vector<std::uint8_t> m_pending;
};

class FifoDevice {
public:
    // Creates the FIFO at `path` (a stale FIFO there is replaced; any other file is left alone
    // and the device is not ok()).
    explicit FifoDevice(std::string path);
    ~FifoDevice();
    FifoDevice(const FifoDevice&) = delete;
    FifoDevice& operator=(const FifoDevice&) = delete;

    bool ok() const { return m_readEnd >= 0; }
    const std::string& error() const { return m_error; }
    const std::string& path() const { return m_path; }

    // Waits up to `timeoutMs` (-1: no limit) for data, reads what is there and hands each complete
    // record to `onRecord`. Returns the number of records, or -1 when the wait was interrupted.
    int pump(int timeoutMs, const std::function<void(Record&&)>& onRecord);

    // Removes the FIFO from the file system; open descriptors stay usable.
    void unlink();

private:
    std::string m_path;
    std::string m_error;
    int m_readEnd = -1;
    int m_keepAliveWriteEnd = -1;
    bool m_linked = false;
    RecordSplitter m_splitter;
};

// One line for a record: command, function identifier "0x%03X", timestamp and payload in hex.
std::string describeRecord(const Record& record);

}  // namespace recorder
}  // namespace xob

#endif
