#include "Ledger.h"

#include "Eventually.h"
#include "ForkSupport.h"
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


namespace xobtest {

namespace {

constexpr std::uint8_t kMarkerProducer = 0xFF;
constexpr std::uint16_t kTaggedId = 0x752;  // SYSHDU_LogEntry
thread_local std::uint32_t t_sendingTag = 0;

int pace() {  // 0: native, 1: sanitized, 2: emulated, 3: soak
    const char* soak = std::getenv("XOBSTRESS_SOAK");
    if (soak != nullptr && std::strcmp(soak, "1") == 0) return 3;
    if (std::getenv("XOBTEST_EMULATED") != nullptr) return 2;
#if defined(XOBTEST_ADDRESS_SANITIZER) || defined(XOBTEST_THREAD_SANITIZER)
    return 1;
#else
    return 0;
#endif
}

std::uint32_t mix(std::uint32_t value) noexcept {
    value = (value ^ (value >> 16)) * 0x7FEB352Du;
    value = (value ^ (value >> 15)) * 0x846CA68Bu;
    return value ^ (value >> 16);
}

// The two texts of a tagged record: the tag's four bytes, then up to 124 letters; up to 128 letters.
void textsOf(std::uint32_t tag, char (&first)[130], char (&second)[130]) noexcept {
    std::memcpy(first, &tag, 4);  // the tag leads the payload, little-endian
    const std::uint32_t lengths[] = {mix(tag + 1) % 125, mix(tag + 2) % 129};
    char* texts[] = {first + 4, second};
    for (int t = 0; t < 2; ++t) {
        for (std::uint32_t i = 0; i < lengths[t]; ++i) texts[t][i] = static_cast<char>('a' + mix(tag ^ (i << 8 | t)) % 26);
        texts[t][lengths[t]] = '\0';
    }
}

int timeOf(std::uint32_t tag) noexcept { return static_cast<int>(mix(tag ^ 0xA5A5A5A5u) & 0xFFFFFFu); }

void sendTagged(std::uint32_t tag) noexcept {
    char first[130];
    char second[130];
    textsOf(tag, first, second);
    GXob::SYSHDU_LogEntry(first, second, true, timeOf(tag));
}

// The tag of a decoded record when it is exactly the record of that tag; 0 otherwise.
std::uint32_t tagOf(const xob::decoder::DecodedRecord& record) {
    std::uint32_t tag = 0;
    if (record.damaged() || record.functionId != kTaggedId || record.fields.size() != 2 ||
        record.fields[0].value.text.size() < 4) {
        return 0;
    }
    std::memcpy(&tag, record.fields[0].value.text.data(), 4);
    char first[130];
    char second[130];
    textsOf(tag, first, second);
    const bool exact = record.timestamp == static_cast<std::uint32_t>(timeOf(tag)) &&
                       record.fields[0].value.text == first && record.fields[1].value.text == second;
    return exact ? tag : 0;
}

void readSystemLog(const std::string& devicePath, LogReport& report) {
    SyslogCapture& capture = SyslogCapture::instance();
    report.linesLost = capture.settle();
    // Loss reports name their record by function identifier and ui32Data[0], in exactly this form.
    const std::pair<const char*, const char*> losses[] = {
        {"full", "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')"},
        {"exiting", "XOB: Process is exiting. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')"},
        {"mutex", "XOB: Lost Log-Entry, due to Error on Mutex-Lock. (Error: '%*d', functionId: '0x%03X', "
                  "ui32Data[0]: '0x%08X')"}};
    for (const std::string& line : capture.lines()) {
        if (line.compare(0, 4, "XOB:") != 0 || SyslogCapture::isSettleLine(line)) continue;
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
            ++report.count[loss->first];
            report.losses.emplace_back(functionId, data);
        } else if (line == "XOB: " + devicePath + " couldn't be opened! Retry in 1 Second...") {
            ++report.count["open"];
        } else if (line == "XOB: Element defective") {
            ++report.count["defective"];
        } else if (std::sscanf(line.c_str(), "XOB: %u", &data) == 1 &&
                   line == "XOB: " + std::to_string(data) + " Log-Entries still queued at exit are Lost!") {
            report.count["queued"] += data;
        } else {
            report.unexpected.push_back(line);
        }
    }
}

}  // namespace

std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated) {
    return std::vector<std::uint32_t>{native, sanitized, emulated, soak}[pace()];
}

std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept {
    sequence %= kSequences;
    return static_cast<std::uint32_t>(producer) << 24 | (sequence / (255u * 255u) + 1u) << 16 |
           (sequence / 255u % 255u + 1u) << 8 | (sequence % 255u + 1u);
}

bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept {
    const std::uint32_t low = tag & 0xFFu, middle = tag >> 8 & 0xFFu, high = tag >> 16 & 0xFFu;
    producer = static_cast<std::uint8_t>(tag >> 24);
    sequence = (high - 1u) * 255u * 255u + (middle - 1u) * 255u + (low - 1u);
    return low != 0 && middle != 0 && high != 0 && producer != 0;
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

Producers::Producers(std::uint8_t firstId, unsigned threads, std::uint32_t each, std::chrono::microseconds gap,
                     ProducerCount* counted)
    : first(firstId), counts(threads), board(counted != nullptr ? counted : counts.data()), slowestNs(threads) {
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this, i, each, gap] {
            for (std::uint32_t n = 0; n < each && !m_stop; ++n) {
                const std::uint64_t before = monotonicNs();
                sendCounted(static_cast<std::uint8_t>(first + i), board[i]);
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
    for (std::size_t i = 0; i < counts.size(); ++i) at.push_back(board[i].attempted.load());
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

Ledger::Ledger(DeviceStandIn& device, Handler handler)
    : m_device(device), m_handler(std::move(handler)), m_thread([this] {
          Bytes bytes;
          while (!m_stop) {
              if (m_device.next(bytes, 20)) arrived(xob::decoder::decodeRecord(bytes.data(), bytes.size()));
          }
      }) {}

Ledger::~Ledger() {
    m_stop = true;
    m_thread.join();
}

void Ledger::arrived(const xob::decoder::DecodedRecord& record) {
    const std::uint32_t tag = tagOf(record);
    std::uint8_t id = 0;
    std::uint32_t sequence = 0;
    const bool tagged = splitTag(tag, id, sequence);
    if (tagged && id == kMarkerProducer) {
        ++m_markersSeen;
    } else if (m_handler) {
        m_handler(record);
    } else {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (tagged) {
            m_producers[id].arrivals.push_back(sequence);
        } else if (m_fault.empty()) {
            m_fault = "a corrupt record: " + (record.damaged() ? record.damage.front() : std::string(record.name()));
        }
    }
}

void Ledger::sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_producers[id].attempted = attempted;
    m_producers[id].completed = completed;
}

void Ledger::sent(const Producers& producers) {
    for (std::size_t i = 0; i < producers.counts.size(); ++i) {
        sent(static_cast<std::uint8_t>(producers.first + i), producers.board[i].attempted, producers.board[i].completed);
    }
}

LogReport Ledger::close(const std::string& devicePath) {
    const std::chrono::milliseconds limit(pick(600000, 120000, 300000, 300000));
    // A marker sent once the writer is idle arrives after everything sent before it.
    EXPECT_TRUE(waitForWriterIdle(static_cast<int>(limit.count())) &&
                (sendTagged(makeTag(kMarkerProducer, m_markersSent++)),
                 eventually([this] { return m_markersSeen == m_markersSent; }, limit)))
        << "the writer did not finish delivering";
    LogReport log;
    readSystemLog(devicePath, log);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& loss : log.losses) {
        std::uint8_t id = 0;
        std::uint32_t sequence = 0;
        if (m_handler) break;
        if (splitTag(loss.second, id, sequence) && loss.first == kTaggedId) {
            m_producers[id].losses.push_back(sequence);
        } else if (m_fault.empty()) {
            m_fault = "a loss report of something never sent: " + std::to_string(loss.second);
        }
    }
    return log;
}

Tally Ledger::tally() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Tally tally;
    tally.fault = m_fault;
    for (const auto& entry : m_producers) {
        const Producer& producer = entry.second;
        tally.sent += producer.attempted;
        tally.inFlight += producer.attempted - producer.completed;
        std::vector<int> state(producer.attempted, 0);  // 1: arrived, 2: reported lost
        std::uint32_t next = 0;
        // Arrivals must be in order and new; losses must name a record sent that did not arrive.
        for (const auto& booked : {std::make_pair(&producer.arrivals, 1), std::make_pair(&producer.losses, 2)}) {
            for (std::uint32_t sequence : *booked.first) {
                if (sequence >= state.size() || state[sequence] != 0 || (booked.second == 1 && sequence < next)) {
                    if (tally.fault.empty()) {
                        tally.fault = "producer " + std::to_string(entry.first) + " #" + std::to_string(sequence) +
                                      (booked.second == 1 ? " arrived" : " reported lost") + " unsent, twice or late";
                    }
                    continue;
                }
                state[sequence] = booked.second;
                next = sequence + 1;
                ++(booked.second == 1 ? tally.delivered : tally.lost);
            }
        }
        for (std::uint32_t sequence = 0; sequence < state.size(); ++sequence) {
            tally.unaccounted += state[sequence] == 0 ? 1 : 0;
            tally.unaccountedReturned += state[sequence] == 0 && sequence < producer.completed ? 1 : 0;
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
    const char* const paces[] = {"native", "sanitized", "emulated", "soak"};
    std::printf("[stress] %s pace=%s sent=%llu delivered=%llu lost=%llu cut-off=%llu unaccounted=%lld seconds=%.1f %s\n",
                scenario, paces[pace()], static_cast<unsigned long long>(tally.sent),
                static_cast<unsigned long long>(tally.delivered), static_cast<unsigned long long>(tally.lost + counted),
                static_cast<unsigned long long>(cutOff),
                static_cast<long long>(tally.unaccounted) - static_cast<long long>(counted + cutOff), seconds,
                extra.c_str());
    std::fflush(stdout);
}

void expectAccounted(const Tally& tally, std::uint64_t unnamed) {
    EXPECT_EQ(tally.fault, "");
    EXPECT_LE(tally.unaccounted, unnamed) << "records neither delivered nor reported";
    EXPECT_EQ(tally.delivered + tally.lost + tally.unaccounted, tally.sent);
}

void expectNoOtherReports(LogReport& log, std::uint64_t defectiveAllowed) {
    EXPECT_EQ(log.unexpected, std::vector<std::string>{});
    EXPECT_LE(log.count["defective"], defectiveAllowed) << "\"XOB: Element defective\" reports";
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
