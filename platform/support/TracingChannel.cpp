// tracing::Channel: level, sink and the default sink on standard error.
#include <xob/support/TracingChannel.h>

#include <algorithm>
#include <cstdio>

namespace tracing {

Channel::Channel(const std::string& name, short maxLevel, short initialLevel) noexcept
    : m_maxLevel(std::max<short>(maxLevel, 0)), m_level(0) {
    try {
        m_name = name;
    } catch (...) {
    }
    m_level.store(clampLevel(initialLevel));
}

Channel::~Channel() = default;

short Channel::clampLevel(short level) const noexcept { return std::min(std::max<short>(level, 0), m_maxLevel); }

void Channel::SetLevel(short level) noexcept { m_level.store(clampLevel(level), std::memory_order_relaxed); }

void Channel::log(short level, const std::string& text) noexcept {
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    if (!m_sink) {
        writeDefault(level, text);
        return;
    }
    try {
        m_sink(level, text);
    } catch (...) {
    }
}

void Channel::SetSink(Sink sink) noexcept {
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    m_sink.swap(sink);
    // The previous sink is destroyed with `sink` after the lock is released, so that its
    // destruction cannot hold up a tracing thread.
}

void Channel::writeDefault(short level, const std::string& text) const noexcept {
    // One call per line, so that lines of different threads do not interleave.
    std::fprintf(stderr, "%s[%d] %s\n", m_name.c_str(), static_cast<int>(level), text.c_str());
}

}  // namespace tracing
