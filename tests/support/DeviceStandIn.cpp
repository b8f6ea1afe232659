#include "TestKit.h"

#include "platform/Seams.h"

#include <filesystem>
#include <stdexcept>

namespace xobtest {

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string path = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/xobtest.XXXXXX";
    if (mkdtemp(&path[0]) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    return path;
}

void removeAll(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

bool waitForWriterIdle(int timeoutMs) {
    return eventually([] { return !GXob::getXOBThreadActive(); }, std::chrono::milliseconds(timeoutMs));
}

DeviceStandIn::DeviceStandIn() : m_dir(makeTempDir()), m_path(m_dir + "/xob") {
    m_device = new xob::recorder::FifoDevice(m_path);
    if (!m_device->ok()) throw std::runtime_error(m_device->error());
    xob::seams::setDevicePath(m_path.c_str());
    m_reader = std::thread([this] { run(); });
}

DeviceStandIn::~DeviceStandIn() {
    m_paused = false;
    waitForWriterIdle();
    m_stop = true;
    m_reader.join();
    delete m_device;
    removeAll(m_dir);
}

void DeviceStandIn::run() {
    while (!m_stop) {
        if (m_paused) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        m_device->pump(10, [this](xob::recorder::Record&& record) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_records.push_back(std::move(record));
            m_arrived.notify_all();
        });
    }
}

void DeviceStandIn::pause(bool paused) { m_paused = paused; }

bool DeviceStandIn::next(Bytes& record, int timeoutMs) {
    std::vector<Bytes> taken = take(1, timeoutMs);
    return !taken.empty() && (record = std::move(taken[0]), true);
}

std::vector<Bytes> DeviceStandIn::take(std::size_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<Bytes> taken;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (taken.size() < count && m_arrived.wait_until(lock, deadline, [this] { return !m_records.empty(); })) {
        taken.push_back(std::move(m_records.front()));
        m_records.pop_front();
    }
    return taken;
}

std::size_t DeviceStandIn::pending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records.size();
}

// Byte `n` (0: the lowest) of a value.
constexpr std::uint8_t byte(std::uint64_t value, int n) { return static_cast<std::uint8_t>(value >> 8 * n); }

Bytes logEntry(std::uint16_t functionId, std::uint32_t time, const Bytes& payload) {
    const std::size_t length = payload.size() + 10;
    return Bytes{byte(length, 0), byte(length, 1), 0, 0, 8, 0, byte(functionId, 0), byte(functionId, 1),
                 byte(time, 0), byte(time, 1), byte(time, 2), byte(time, 3)} + payload;
}

Bytes initFilesRecord(std::uint16_t filesOf) { return {8, 0, 0, 0, 4, 0, 0x03, 0x05, byte(filesOf, 0), byte(filesOf, 1)}; }

Bytes textField(const char* text) { return Bytes(text, text + std::strlen(text) + 1); }

Bytes operator+(Bytes left, const Bytes& right) {
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::uint32_t le32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::string hex(const Bytes& bytes) {
    std::string text;
    char cell[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", b);
        text += cell;
    }
    return text;
}

}  // namespace xobtest
