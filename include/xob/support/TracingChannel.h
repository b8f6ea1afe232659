// tracing::Channel: a named trace channel with a current level and a replaceable sink.
//
// Levels are small numbers where lower means more detail: a program lowers a channel's level to see
// more. The channel does not filter by itself: whoever traces reads GetLevel() and decides whether
// to compose a message, and every log() call reaches the sink.
//
// Every operation may be called from any thread at any time. Sink calls are serialised: the sink
// never runs on two threads at once, and once SetSink has returned the previous sink is neither
// running nor called again. A sink must not call back into its own channel.
#ifndef XOB_SUPPORT_TRACINGCHANNEL_H
#define XOB_SUPPORT_TRACINGCHANNEL_H

#include <xob/Export.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace tracing {

class XOB_EXPORT Channel {
public:
    using Sink = std::function<void(short level, const std::string& text)>;

    // `maxLevel` is the highest level the channel takes (levels run from 0 to it); `initialLevel`
    // is the level it starts with. Both are clamped into range (a negative maxLevel counts as 0).
    Channel(const std::string& name, short maxLevel, short initialLevel) noexcept;
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const std::string& GetName() const noexcept { return m_name; }
    short GetMaxLevel() const noexcept { return m_maxLevel; }
    short GetLevel() const noexcept { return m_level.load(std::memory_order_relaxed); }
    // Sets the level, clamped into 0..maxLevel.
    void SetLevel(short level) noexcept;

    // Hands the text to the sink. The default sink writes one line to standard error: the channel
    // name, the level in brackets, a blank and the text. An exception from a sink is swallowed.
    void log(short level, const std::string& text) noexcept;

    // Replaces the sink; an empty function restores the default one.
    void SetSink(Sink sink) noexcept;

private:
    short clampLevel(short level) const noexcept;
    void writeDefault(short level, const std::string& text) const noexcept;

    std::string m_name;
    short m_maxLevel;
    std::atomic<short> m_level;
    std::mutex m_sinkMutex;  // guards m_sink and serialises its calls
    Sink m_sink;
};

}  // namespace tracing

#endif
