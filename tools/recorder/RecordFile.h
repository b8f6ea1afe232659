// RecordFile: where xob-recorder saves the raw records, for xob-decode. One file appended to, or,
// with rotation, a ring of files FILE, FILE.1, ... FILE.<count-1>: a file is closed, and synced to
// disk, before a record would take it past the size (a record is never split across files; one
// larger than the size gets a file of its own), and the next file of the ring is started empty,
// overwriting the oldest.
#ifndef XOB_TOOLS_RECORDFILE_H
#define XOB_TOOLS_RECORDFILE_H

#include "RecordSplitter.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace xob {
namespace recorder {

class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile() { close(); }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens `path` for appending. `rotateBytes` 0: no rotation.
    bool open(const std::string& path, std::uint64_t rotateBytes = 0, unsigned count = 1);
    bool isOpen() const { return m_file != nullptr; }
    // Buffered; false once writing has failed (error() tells why).
    bool write(const Record& record);
    // Hands what is buffered to the system.
    bool flush();
    // Flushes, syncs and closes the current file.
    bool close();
    const std::string& error() const { return m_error; }

private:
    bool openFile(const char* how);
    bool fail(const std::string& name);
    std::string fileName() const;

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::uint64_t m_rotateBytes = 0;
    unsigned m_count = 1;
    unsigned m_index = 0;
    std::uint64_t m_size = 0;
    std::string m_error;
};

}  // namespace recorder
}  // namespace xob

#endif
