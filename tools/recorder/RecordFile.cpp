#include "RecordFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace xob {
namespace recorder {

bool RecordFile::open(const std::string& path, std::uint64_t rotateBytes, unsigned count) {
    m_path = path;
    m_rotateBytes = rotateBytes;
    m_count = count > 0 ? count : 1;
    m_index = 0;
    return openFile("ab");
}

std::string RecordFile::fileName() const {
    return m_index == 0 ? m_path : m_path + "." + std::to_string(m_index);
}

bool RecordFile::openFile(const char* how) {
    const std::string name = fileName();
    m_file = std::fopen(name.c_str(), how);
    struct stat status {};
    if (m_file == nullptr || fstat(fileno(m_file), &status) != 0) {
        return fail(name);
    }
    m_size = static_cast<std::uint64_t>(status.st_size);
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
    return true;
}

bool RecordFile::fail(const std::string& name) {
    if (m_error.empty()) {
        m_error = "cannot write " + name + ": " + std::strerror(errno);
    }
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    return false;
}

bool RecordFile::write(const Record& record) {
    if (m_file == nullptr) {
        return false;
    }
    if (m_rotateBytes > 0 && m_size > 0 && m_size + record.size() > m_rotateBytes) {
        if (!close()) {
            return false;
        }
        m_index = (m_index + 1) % m_count;
        if (!openFile("wb")) {
            return false;
        }
    }
    if (std::fwrite(record.data(), 1, record.size(), m_file) != record.size()) {
        return fail(fileName());
    }
    m_size += record.size();
    return true;
}

bool RecordFile::flush() { return m_file == nullptr || std::fflush(m_file) == 0 || fail(fileName()); }

bool RecordFile::close() {
    if (m_file == nullptr) {
        return m_error.empty();
    }
    // EINVAL: a file that cannot be synced, such as /dev/null.
    if (std::fflush(m_file) != 0 || (fsync(fileno(m_file)) != 0 && errno != EINVAL)) {
        return fail(fileName());
    }
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed || fail(fileName());
}

}  // namespace recorder
}  // namespace xob
