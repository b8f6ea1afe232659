// FifoDevice: a named pipe standing in for the recorder device on a Linux desk. It keeps both
// ends open, so writers can open it at any time without blocking and reads never see end of
// file between writers, and it splits what arrives into command records (RecordSplitter).
// Used by xob-recorder and, through the same code, by the tests.
#ifndef XOB_TOOLS_FIFODEVICE_H
#define XOB_TOOLS_FIFODEVICE_H

#include "RecordSplitter.h"

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace xob {
namespace recorder {

class FifoDevice {
public:
    // Any process may write, only the recorder's own user may read.
    static constexpr unsigned kDefaultMode = 0622;

    // Creates the FIFO at `path` with `mode`, whatever the umask. A FIFO there that no one reads is
    // replaced; one that another reader holds open, and anything that is not a FIFO, is left as it
    // is and the device is not ok().
    explicit FifoDevice(std::string path, unsigned mode = kDefaultMode);
    ~FifoDevice();
    FifoDevice(const FifoDevice&) = delete;
    FifoDevice& operator=(const FifoDevice&) = delete;

    bool ok() const { return m_readEnd >= 0; }
    const std::string& error() const { return m_error; }
    const std::string& path() const { return m_path; }

    // Where the bytes that no record explains are reported (by default nowhere; they are counted).
    void setSkipHandler(SkipHandler onSkip) { m_onSkip = std::move(onSkip); }
    std::uint64_t skippedBytes() const { return m_splitter.skippedBytes(); }

    // Waits up to `timeoutMs` (-1: no limit) for data, with the signal mask `waitMask` while
    // waiting if given, reads what is there and hands each complete record to `onRecord`. Returns
    // the number of records, or -1 when the wait was interrupted.
    int pump(int timeoutMs, const RecordHandler& onRecord, const sigset_t* waitMask = nullptr);

    struct StopResult {
        bool writersClosed = false;  // every writer closed and the FIFO was read empty in time
        std::size_t droppedBytes = 0;  // left in the FIFO when the time was up
    };
    // The clean stop: removes the FIFO's path, so that no new writer can open it, lets go of its
    // own write end and reads on until every writer has closed it and it is empty, for at most
    // `budgetMs`; then cuts what is left as the end of the stream and closes the FIFO.
    StopResult drain(int budgetMs, const RecordHandler& onRecord);

    // Removes the FIFO from the file system if the path still names the FIFO this device created;
    // open descriptors stay usable.
    void unlink();

private:
    // Reads at most `maxReads` chunks; true at end of file (no writer left and nothing unread).
    bool readAvailable(int maxReads, int& records, const RecordHandler& onRecord);

    std::string m_path;
    std::string m_error;
    int m_readEnd = -1;
    int m_keepAliveWriteEnd = -1;
    bool m_linked = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    RecordSplitter m_splitter;
    SkipHandler m_onSkip;
};

// One line for a record: command, function identifier "0x%03X", timestamp and payload in hex.
std::string describeRecord(const Record& record);

}  // namespace recorder
}  // namespace xob

#endif
