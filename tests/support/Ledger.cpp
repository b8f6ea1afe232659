#include "Ledger.h"

#include "Eventually.h"
#include "SyslogCapture.h"

#include <xob/GXob.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XOBTEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define XOBTEST_SANITIZED 1
#endif
#endif

namespace xobtest {

namespace {

// 0: native, 1: sanitized, 2: emulated, 3: soak.
int pace() {
    static const int current = [] {
        const char* soak = std::getenv("XOBSTRESS_SOAK");
        if (soak != nullptr && std::strcmp(soak, "1") == 0) return 3;
        if (std::getenv("XOBTEST_EMULATED") != nullptr) return 2;
#ifdef XOBTEST_SANITIZED
        return 1;
#else
        return 0;
#endif
    }();
    return current;
}

std::uint32_t mix(std::uint32_t value) noexcept {
    value ^= value >> 16;
    value *= 0x7FEB352Du;
    value ^= value >> 15;
    value *= 0x846CA68Bu;
    return value ^ (value >> 16);
}

enum class Kind { Trigger, Panel, Diagnosis, System };
constexpr std::uint16_t kFunctionIds[] = {0x421, 0x408, 0x750, 0x752};

Kind kindOf(std::uint32_t tag) noexcept { return static_cast<Kind>(mix(tag) % 4); }
int checkValue(std::uint32_t tag) noexcept { return static_cast<int>(mix(tag ^ 0xA5A5A5A5u) & 0xFFFFFFu); }

// The texts of a tagged record: the tag's four bytes and lower-case letters after them, within the
// caps of the entry's fields (31 for a panel text, 129 for the others).
struct Texts {
    char first[130];
    char second[130];
};

void textsOf(std::uint32_t tag, Texts& texts) noexcept {
    std::uint32_t state = mix(tag * 0x9E3779B9u) | 1u;
    const auto letters = [&state](char* text, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            text[i] = static_cast<char>('a' + state % 26);
        }
        text[count] = '\0';
    };
    std::memcpy(texts.first, &tag, 4);  // the tag leads the payload, little-endian
    letters(texts.first + 4, mix(tag + 1) % (kindOf(tag) == Kind::Panel ? 27 : 125));
    letters(texts.second, kindOf(tag) == Kind::System ? mix(tag + 2) % 129 : 0);
}

thread_local std::uint32_t t_sendingTag = 0;

// The tag of a decoded record (0 when it is not a tagged record).
std::uint32_t tagOf(const xob::decoder::DecodedRecord& record) {
    if (record.fields.empty()) return 0;
    const xob::decoder::Value& value = record.fields[0].value;
    if (value.kind == xob::decoder::Value::Kind::Signed) return static_cast<std::uint32_t>(value.s);
    std::uint32_t tag = 0;
    if (value.kind == xob::decoder::Value::Kind::Text && value.text.size() >= 4) std::memcpy(&tag, value.text.data(), 4);
    return tag;
}

// Empty when `record` is exactly the record of `tag`; what differs otherwise.
std::string differences(const xob::decoder::DecodedRecord& record, std::uint32_t tag) {
    if (record.damaged()) return record.damage.front();
    const Kind kind = kindOf(tag);
    if (record.functionId != kFunctionIds[static_cast<int>(kind)]) return "another entry kind";
    if (record.timestamp != static_cast<std::uint32_t>(checkValue(tag))) return "timestamp";
    if (kind == Kind::Trigger) return record.fields.size() == 1 ? "" : "fields";
    Texts texts;
    textsOf(tag, texts);
    const bool system = kind == Kind::System;
    if (record.fields.size() != (system ? 2u : 1u) || record.fields[0].value.text != texts.first ||
        (system && record.fields[1].value.text != texts.second)) {
        return "texts";
    }
    return "";
}

}  // namespace

std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated) {
    const std::uint32_t values[] = {native, sanitized, emulated, soak};
    return values[pace()];
}

const char* paceName() {
    const char* const names[] = {"native", "sanitized", "emulated", "soak"};
    return names[pace()];
}

std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept {
    sequence %= kSequences;
    return static_cast<std::uint32_t>(producer) << 24 | (sequence / (255u * 255u) + 1u) << 16 |
           (sequence / 255u % 255u + 1u) << 8 | (sequence % 255u + 1u);
}

bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept {
    const std::uint32_t low = tag & 0xFFu;
    const std::uint32_t middle = tag >> 8 & 0xFFu;
    const std::uint32_t high = tag >> 16 & 0xFFu;
    producer = static_cast<std::uint8_t>(tag >> 24);
    if (low == 0 || middle == 0 || high == 0 || producer == 0) return false;
    sequence = (high - 1u) * 255u * 255u + (middle - 1u) * 255u + (low - 1u);
    return true;
}

void sendTagged(std::uint32_t tag) noexcept {
    Texts texts;
    textsOf(tag, texts);
    switch (kindOf(tag)) {
        case Kind::Trigger: GXob::TRIGGERHDU_LogEntry(static_cast<int>(tag), true, checkValue(tag)); break;
        case Kind::Panel: GXob::PanelHDU_LogEntry(texts.first, true, checkValue(tag)); break;
        case Kind::Diagnosis: GXob::DiagnosisHDU_LogEntry(texts.first, true, checkValue(tag)); break;
        case Kind::System: GXob::SYSHDU_LogEntry(texts.first, texts.second, true, checkValue(tag)); break;
    }
}

void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept {
    const std::uint32_t sequence = count.attempted.load();
    count.attempted.store(sequence + 1);
    t_sendingTag = makeTag(producer, sequence);
    sendTagged(t_sendingTag);
    t_sendingTag = 0;
    count.completed.store(sequence + 1);
}

std::uint32_t sendingTag() noexcept { return t_sendingTag; }

Producers::Producers(std::uint8_t firstId, unsigned threads, std::uint32_t each, std::chrono::microseconds gap)
    : first(firstId), counts(threads), slowestNs(threads) {
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this, i, each, gap] {
            for (std::uint32_t n = 0; n < each && !m_stop; ++n) {
                const std::uint64_t before = monotonicNs();
                sendCounted(static_cast<std::uint8_t>(first + i), counts[i]);
                slowestNs[i] = std::max<std::int64_t>(slowestNs[i], static_cast<std::int64_t>(monotonicNs() - before));
                if (gap.count() > 0) std::this_thread::sleep_for(gap);
            }
        });
    }
}

void Producers::join() {
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) thread.join();
    }
}

std::vector<std::uint32_t> Producers::positions() const {
    std::vector<std::uint32_t> at;
    for (const ProducerCount& count : counts) at.push_back(count.attempted.load());
    return at;
}

ChildBoard* ChildBoard::map(const std::string& path, bool create) {
    const int file = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0), 0600);
    if (file < 0) return nullptr;
    void* memory = create && ftruncate(file, sizeof(ChildBoard)) != 0
                       ? MAP_FAILED
                       : mmap(nullptr, sizeof(ChildBoard), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    close(file);
    return memory == MAP_FAILED ? nullptr : static_cast<ChildBoard*>(memory);
}

void ChildBoard::unmap(ChildBoard* board) { munmap(board, sizeof(ChildBoard)); }

Collector::Collector(DeviceStandIn& device, Handler handler)
    : m_device(device), m_handler(std::move(handler)), m_thread([this] {
          Bytes bytes;
          while (!m_stop) {
              if (!m_device.next(bytes, 20)) continue;
              const xob::decoder::DecodedRecord record = xob::decoder::decodeRecord(bytes.data(), bytes.size());
              const std::uint32_t tag = tagOf(record);
              if (tag >> 24 == kMarkerProducer && differences(record, tag).empty()) {
                  ++m_markersSeen;
              } else {
                  m_handler(record);
              }
          }
      }) {}

Collector::~Collector() {
    m_stop = true;
    m_thread.join();
}

bool Collector::settle(int timeoutMs) {
    if (!waitForWriterIdle(timeoutMs)) return false;
    sendTagged(makeTag(kMarkerProducer, m_markersSent++));
    return eventually([this] { return m_markersSeen == m_markersSent; }, std::chrono::milliseconds(timeoutMs));
}

LogReport readSystemLog(const std::string& devicePath) {
    SyslogCapture& capture = SyslogCapture::instance();
    LogReport report;
    report.linesLost = capture.settle();
    const std::string openFailure = "XOB: " + devicePath + " couldn't be opened! Retry in 1 Second...";
    // Loss reports name their record by function identifier and ui32Data[0], in exactly this form.
    const std::pair<const char*, const char*> losses[] = {
        {"full", "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')"},
        {"exiting", "XOB: Process is exiting. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')"},
        {"mutex", "XOB: Lost Log-Entry, due to Error on Mutex-Lock. (Error: '%*d', functionId: '0x%03X', "
                  "ui32Data[0]: '0x%08X')"}};
    for (const std::string& line : capture.lines()) {
        if (line.compare(0, 4, "XOB:") != 0 || SyslogCapture::isSettleLine(line)) continue;
        unsigned queued = 0;
        unsigned functionId = 0;
        unsigned data = 0;
        char again[256] = "";
        const auto loss = std::find_if(std::begin(losses), std::end(losses), [&](const auto& format) {
            if (std::sscanf(line.c_str(), format.second, &functionId, &data) != 2) return false;
            if (format.first == losses[2].first) return true;  // its error number is not read back
            std::snprintf(again, sizeof again, format.second, functionId, data);
            return line == again;
        });
        if (loss != std::end(losses)) {
            ++report.lossesBy[loss->first];
            report.losses.emplace_back(functionId, data);
        } else if (line == openFailure) {
            ++report.openFailures;
        } else if (line == "XOB: Element defective") {
            ++report.defective;
        } else if (std::sscanf(line.c_str(), "XOB: %u", &queued) == 1 &&
                   line == "XOB: " + std::to_string(queued) + " Log-Entries still queued at exit are Lost!") {
            ++report.exitLines;
            report.queuedAtExit += queued;
        } else {
            report.unexpected.push_back(line);
        }
    }
    return report;
}

Ledger::Ledger(DeviceStandIn& device)
    : m_collector(device, [this](const xob::decoder::DecodedRecord& record) { arrived(record); }) {}

void Ledger::fault(const std::string& what) {
    if (m_faults++ < 5) m_sample += " " + what + ";";
}

void Ledger::arrived(const xob::decoder::DecodedRecord& record) {
    const std::uint32_t tag = tagOf(record);
    std::uint8_t id = 0;
    std::uint32_t sequence = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string wrong = splitTag(tag, id, sequence) ? differences(record, tag) : "no tag";
    if (!wrong.empty()) {
        fault("corrupt record (" + wrong + ") at sequence " + std::to_string(sequence));
    } else {
        m_producers[id].arrivals.push_back(sequence);
    }
}

void Ledger::sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_producers[id].attempted = attempted;
    m_producers[id].completed = completed;
}

void Ledger::sent(const Producers& producers) {
    for (std::size_t i = 0; i < producers.counts.size(); ++i) {
        sent(static_cast<std::uint8_t>(producers.first + i), producers.counts[i].attempted, producers.counts[i].completed);
    }
}

void Ledger::sent(const ChildBoard& board, const std::vector<std::uint8_t>& ids) {
    for (std::uint8_t id : ids) sent(id, board.producers[id].attempted, board.producers[id].completed);
}

LogReport Ledger::close(const std::string& devicePath) {
    EXPECT_TRUE(m_collector.settle(static_cast<int>(pick(600000, 120000, 300000, 300000))))
        << "the writer did not finish delivering";
    LogReport log = readSystemLog(devicePath);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& loss : log.losses) {
        std::uint8_t id = 0;
        std::uint32_t sequence = 0;
        if (!splitTag(loss.second, id, sequence) || loss.first != kFunctionIds[static_cast<int>(kindOf(loss.second))]) {
            fault("a loss report of something never sent: " + std::to_string(loss.first));
        } else {
            m_producers[id].losses.push_back(sequence);
        }
    }
    return log;
}

Tally Ledger::tally() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Tally tally;
    tally.faults = m_faults;
    tally.sample = m_sample;
    const auto fault = [&tally](const std::string& what) {
        if (tally.faults++ < 5) tally.sample += " " + what + ";";
    };
    for (const auto& entry : m_producers) {
        const Producer& producer = entry.second;
        const std::string name = "producer " + std::to_string(entry.first) + " #";
        tally.sent += producer.attempted;
        tally.inFlight += producer.attempted - producer.completed;
        std::vector<int> state(producer.attempted, 0);  // 1: arrived, 2: reported lost
        std::int64_t last = -1;
        for (std::uint32_t sequence : producer.arrivals) {
            if (sequence >= state.size() || state[sequence] != 0 || sequence < last) {
                fault(name + std::to_string(sequence) + " never sent, twice or out of order");
                continue;
            }
            state[sequence] = 1;
            ++tally.delivered;
            last = sequence;
        }
        for (std::uint32_t sequence : producer.losses) {
            if (sequence >= state.size() || state[sequence] != 0) {
                fault(name + std::to_string(sequence) + " reported lost, but never sent, delivered or reported before");
                continue;
            }
            state[sequence] = 2;
            ++tally.lost;
        }
        for (std::uint32_t sequence = 0; sequence < state.size(); ++sequence) {
            if (state[sequence] != 0) continue;
            if (tally.unaccounted++ < 5) tally.sample += " unaccounted " + name + std::to_string(sequence) + ";";
            tally.unaccountedReturned += sequence < producer.completed ? 1 : 0;
        }
    }
    return tally;
}

std::vector<std::uint32_t> Ledger::arrivals(std::uint8_t id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_producers.find(id);
    return found == m_producers.end() ? std::vector<std::uint32_t>{} : found->second.arrivals;
}

void printFigures(const char* scenario, const Tally& tally, double seconds, const std::string& extra,
                  std::uint64_t counted, std::uint64_t cutOff) {
    std::printf("[stress] %s pace=%s sent=%llu delivered=%llu lost=%llu cut-off=%llu unaccounted=%lld seconds=%.1f %s\n",
                scenario, paceName(), static_cast<unsigned long long>(tally.sent),
                static_cast<unsigned long long>(tally.delivered), static_cast<unsigned long long>(tally.lost + counted),
                static_cast<unsigned long long>(cutOff),
                static_cast<long long>(tally.unaccounted) - static_cast<long long>(counted + cutOff), seconds,
                extra.c_str());
    std::fflush(stdout);
}

void expectAccounted(const Tally& tally, std::uint64_t unnamed) {
    EXPECT_EQ(tally.faults, 0u) << tally.sample;
    EXPECT_LE(tally.unaccounted, unnamed) << "neither delivered nor reported:" << tally.sample;
    EXPECT_EQ(tally.delivered + tally.lost + tally.unaccounted, tally.sent);
}

void expectNoOtherReports(const LogReport& log, std::uint64_t defectiveAllowed) {
    std::string shown;
    for (std::size_t i = 0; i < log.unexpected.size() && i < 10; ++i) shown += "\n  " + log.unexpected[i];
    EXPECT_TRUE(log.unexpected.empty()) << log.unexpected.size() << " unexpected lines:" << shown;
    EXPECT_LE(log.defective, defectiveAllowed) << "\"XOB: Element defective\" reports";
}

void startWatchdog(std::chrono::seconds limit) {
    std::thread([limit] {
        std::this_thread::sleep_for(limit);
        std::fprintf(stderr, "WATCHDOG: no end after %lld s (deadlock or stall); ending the run\n",
                     static_cast<long long>(limit.count()));
        std::_Exit(70);
    }).detach();
}

}  // namespace xobtest
