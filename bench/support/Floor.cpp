#include "Floor.h"

#include "BenchSupport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace xobbench {

FloorChannel::FloorChannel(const std::string& devicePath) : m_path(devicePath) {}

FloorChannel::~FloorChannel() {
    waitIdle();
    for (unsigned char* buffer : m_buffers) {
        std::free(buffer);
    }
}

void FloorChannel::enqueue(unsigned char* record, std::uint32_t size) noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ns = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                             static_cast<std::uint64_t>(now.tv_nsec);
    const std::uint32_t stamp = static_cast<std::uint32_t>(ns / 10000000u) & 0x00FFFFFFu;
    record[8] = static_cast<unsigned char>(stamp);
    record[9] = static_cast<unsigned char>(stamp >> 8);
    record[10] = static_cast<unsigned char>(stamp >> 16);
    record[11] = 0;

    pthread_mutex_lock(&m_mutex);
    if (m_sizes[m_write] == 0) {  // a free slot (the runs never fill the ring)
        unsigned char* copy = static_cast<unsigned char*>(std::malloc(size));
        if (copy != nullptr) {
            std::memcpy(copy, record, size);
            m_buffers[m_write] = copy;
            m_sizes[m_write] = size;
            m_write = m_write + 1 == kSlots ? 0 : m_write + 1;
        }
    }
    if (!m_active) {
        m_active = true;
        markWriterStart();
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        if (pthread_create(&thread, &attributes, writer, this) != 0) {
            m_active = false;
        }
        pthread_attr_destroy(&attributes);
    }
    pthread_mutex_unlock(&m_mutex);
}

void* FloorChannel::writer(void* self) noexcept {
    static_cast<FloorChannel*>(self)->deliverAll();
    return nullptr;
}

void FloorChannel::deliverAll() noexcept {
    for (;;) {
        pthread_mutex_lock(&m_mutex);
        const std::uint32_t size = m_sizes[m_read];
        unsigned char* const buffer = m_buffers[m_read];
        pthread_mutex_unlock(&m_mutex);

        if (buffer != nullptr) {
            const int descriptor = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
            if (descriptor >= 0) {
                const ssize_t written = ::write(descriptor, buffer, size);
                static_cast<void>(written);
                ::close(descriptor);
            }
        }

        pthread_mutex_lock(&m_mutex);
        std::free(m_buffers[m_read]);
        m_buffers[m_read] = nullptr;
        m_sizes[m_read] = 0;
        m_read = m_read + 1 == kSlots ? 0 : m_read + 1;
        const bool ending = m_sizes[m_read] == 0;
        if (ending) {
            m_active = false;
        }
        pthread_mutex_unlock(&m_mutex);
        if (ending) {
            return;
        }
    }
}

bool FloorChannel::waitIdle(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pthread_mutex_lock(&m_mutex);
        const bool active = m_active;
        pthread_mutex_unlock(&m_mutex);
        if (!active) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        pause(20);
    }
}

}  // namespace xobbench
