// DeviceStandIn: the recorder device of a test. A FIFO at a fresh temporary path (the code of xob-recorder), made the
// library's device through the test seam, and a reader thread that collects every record that arrives.
#ifndef XOB_TESTS_DEVICESTANDIN_H
#define XOB_TESTS_DEVICESTANDIN_H

#include "FifoDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xobtest {

using Bytes = std::vector<std::uint8_t>;

class DeviceStandIn {
public:
    DeviceStandIn();   // creates the FIFO, points the library at it, starts reading
    ~DeviceStandIn();  // waits for the writer to go idle, stops, removes the FIFO and anything put next to it

    const std::string& path() const { return m_path; }

    // The next record that arrived, waiting up to `timeoutMs`; false when none came.
    bool next(Bytes& record, int timeoutMs = 5000);
    // The next `count` records (fewer if they do not come within `timeoutMs` in all).
    std::vector<Bytes> take(std::size_t count, int timeoutMs = 5000);
    // Records that arrived and were not taken yet.
    std::size_t pending();

    // While paused the reader reads nothing: the FIFO fills up and writers block.
    void pause(bool paused);

private:
    void run();

    std::string m_dir;
    std::string m_path;
    xob::recorder::FifoDevice* m_device = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<Bytes> m_records;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};
    std::thread m_reader;
};

// Waits until the library's writer thread has ended (up to `timeoutMs`); false if it has not.
bool waitForWriterIdle(int timeoutMs = 5000);

// A fresh directory under the system's temporary directory; removed by the caller, or with a TempDir.
std::string makeTempDir();
void removeAll(const std::string& path);  // a directory and everything in it
struct TempDir {
    const std::string path = makeTempDir();
    ~TempDir() { removeAll(path); }
};
// A file's contents as text (std::string) or as Bytes; empty if it cannot be read.
template <typename Contents = std::string>
Contents readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Contents(std::istreambuf_iterator<char>(in), {});
}

// The expected bytes of a log-entry record with the given function identifier, timestamp and
// payload, and of a command-4 record.
Bytes logEntry(std::uint16_t functionId, std::uint32_t time, const Bytes& payload);
Bytes initFilesRecord(std::uint16_t filesOf);

// Bytes of a text as the packing writes it: its characters and the terminator.
Bytes textField(const char* text);
Bytes operator+(Bytes left, const Bytes& right);

// The little-endian 32-bit word at `at`.
std::uint32_t le32(const Bytes& bytes, std::size_t at);

// "08 00 00 00 ..." for failure messages.
std::string hex(const Bytes& bytes);

}  // namespace xobtest

#endif
