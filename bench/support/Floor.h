// The floor: the least that the recorder path's design asks of a caller, written out plainly so
// that the library can be measured against it in the same run. A caller hands over a record it has
// built on its stack; enqueue() reads the monotonic clock for the timestamp, takes a mutex, copies
// the record into a heap buffer of its exact size held by a 120-slot ring, starts a detached writer
// thread if none runs, and unlocks. The writer delivers each record with open, one write and close
// and frees it, exactly like the library's, so both run under the same conditions (the same
// consumer taking the same lock and freeing on another thread, the same FIFO and reader).
// There is nothing else: no message, no lifetime handling, no seams.
#ifndef XOB_BENCH_FLOOR_H
#define XOB_BENCH_FLOOR_H

#include <cstdint>
#include <pthread.h>
#include <string>

namespace xobbench {

class FloorChannel {
public:
    explicit FloorChannel(const std::string& devicePath);
    ~FloorChannel();
    FloorChannel(const FloorChannel&) = delete;
    FloorChannel& operator=(const FloorChannel&) = delete;

    // `record` is a complete log-entry record of `size` bytes except for its timestamp.
    void enqueue(unsigned char* record, std::uint32_t size) noexcept;

    // Waits until the writer has ended (polling with sleeps); false on time-out.
    bool waitIdle(int timeoutMs = 20000);

private:
    static void* writer(void* self) noexcept;
    void deliverAll() noexcept;

    static constexpr unsigned kSlots = 120;
    std::string m_path;
    pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
    std::uint32_t m_sizes[kSlots] = {};
    unsigned char* m_buffers[kSlots] = {};
    unsigned m_read = 0;
    unsigned m_write = 0;
    bool m_active = false;
};

}  // namespace xobbench

#endif
