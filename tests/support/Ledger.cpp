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
#include <regex>
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

std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept {
    sequence %= kSequences;
    return static_cast<std::uint32_t>(producer) << 24 | (sequence / (255u * 255u) + 1u) << 16 |
           (sequence / 255u % 255u + 1u) << 8 | (sequence % 255u + 1u);
}

struct Tagged {  // the texts and timestamp of a tag's record
    explicit Tagged(std::uint32_t tag) noexcept : time(static_cast<int>(mix(tag) & 0xFFFFFFu)) {
        std::memcpy(first, &tag, 4);  // the tag leads the payload, little-endian; letters vary by tag
        const std::uint32_t firstEnd = 4 + mix(tag + 1) % 125, secondEnd = mix(tag + 2) % 129;
        for (std::uint32_t i = 4; i < 130; ++i) first[i] = i < firstEnd ? static_cast<char>('a' + mix(tag ^ i) % 26) : '\0';
        for (std::uint32_t i = 0; i < 130; ++i) second[i] = i < secondEnd ? static_cast<char>('a' + mix(~tag ^ i) % 26) : '\0';
    }
    char first[130], second[130];
    int time;
};

void sendTagged(std::uint32_t tag) noexcept {
    Tagged record(tag);
    GXob::SYSHDU_LogEntry(record.first, record.second, true, record.time);
}

}  // namespace

std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated) {
    return std::vector<std::uint32_t>{native, sanitized, emulated, soak}[pace()];
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
            for (std::uint32_t n = 0; n < each && !stop; ++n) {
                const std::uint64_t before = monotonicNs();
                sendCounted(static_cast<std::uint8_t>(first + i), board[i]);
                slowestNs[i] = std::max<std::int64_t>(slowestNs[i], static_cast<std::int64_t>(monotonicNs() - before));
                std::this_thread::sleep_for(gap);
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

Ledger::Ledger(DeviceStandIn& device, bool tagged)
    : m_tagged(tagged), m_start(std::chrono::steady_clock::now()), m_device(device), m_thread([this] {
          Bytes bytes;
          while (!m_stop) {
              if (m_device.next(bytes, 20)) arrived(xob::decoder::decodeRecord(bytes.data(), bytes.size()));
          }
      }) {
    static std::once_flag watchdog;  // a deadlock ends the program with a message, also in a soak
    std::call_once(watchdog, [] {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::hours(1));
            std::fprintf(stderr, "WATCHDOG: no end after an hour (deadlock or stall); ending the run\n");
            std::_Exit(70);
        }).detach();
    });
}

Ledger::~Ledger() {
    m_stop = true;
    m_thread.join();
}

void Ledger::fault(const std::string& what) {
    if (m_books.fault.empty()) m_books.fault = what;
}

void Ledger::arrived(const xob::decoder::DecodedRecord& record) {
    // A tagged record is exactly the record of the tag that leads it.
    std::uint32_t tag = 0;
    std::uint8_t id = 0;
    std::uint32_t sequence = 0;
    if (record.functionId == kTaggedId && record.fields.size() == 2 && record.fields[0].value.text.size() >= 4) {
        std::memcpy(&tag, record.fields[0].value.text.data(), 4);
    }
    const Tagged expected(tag);
    const bool tagged = splitTag(tag, id, sequence) && record.timestamp == static_cast<std::uint32_t>(expected.time) &&
                        record.fields[0].value.text == expected.first && record.fields[1].value.text == expected.second;
    if (tagged && id == kMarkerProducer) {
        ++m_markersSeen;
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (record.damaged()) {
        fault("a damaged record: " + record.damage.front());
    } else if (tagged) {
        m_producers[id].arrivals.push_back(sequence);
    } else if (m_tagged) {
        fault(std::string("a corrupt record: ") + record.name());
    } else {
        ++m_books.delivered;
        ++m_books.byFunction[record.functionId];
    }
}

void Ledger::sent(std::uint8_t id, const ProducerCount& count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_producers[id].attempted = count.attempted;
    m_producers[id].completed = count.completed;
}

void Ledger::sent(const Producers& producers) {
    for (std::size_t i = 0; i < producers.counts.size(); ++i) sent(static_cast<std::uint8_t>(producers.first + i), producers.board[i]);
}

Books Ledger::close(const std::string& devicePath) {
    const std::chrono::milliseconds limit(pick(600000, 120000, 300000, 300000));
    // A marker sent once the writer is idle arrives after everything sent before it.
    EXPECT_TRUE(waitForWriterIdle(static_cast<int>(limit.count())) &&
                (sendTagged(makeTag(kMarkerProducer, m_markersSent++)),
                 eventually([this] { return m_markersSeen == m_markersSent; }, limit)))
        << "the writer did not finish delivering";
    SyslogCapture& capture = SyslogCapture::instance();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_books.reports["lines lost"] = capture.settle();
    // Loss reports name their record by function identifier and ui32Data[0], in exactly this form.
    const std::regex loss("XOB: (XOB_ThreadCmdQueue is full\\. LogEntry is Lost! \\(|Process is exiting\\. LogEntry "
                          "is Lost! \\(|Lost Log-Entry, due to Error on Mutex-Lock\\. \\(Error: '-?[0-9]+', )"
                          "functionId: '0x([0-9A-F]{3,})', ui32Data\\[0\\]: '0x([0-9A-F]{8})'\\)");
    const std::regex queued("XOB: (0|[1-9][0-9]*) Log-Entries still queued at exit are Lost!");
    for (const std::string& line : capture.lines()) {
        std::smatch match;
        std::uint8_t id = 0;
        std::uint32_t sequence = 0;
        if (line.compare(0, 4, "XOB:") != 0 || SyslogCapture::isSettleLine(line)) continue;
        if (std::regex_match(line, match, loss)) {
            const char kind = match[1].str()[0];
            ++m_books.reports[kind == 'X' ? "full" : kind == 'P' ? "exiting" : "mutex"];
            const auto functionId = static_cast<std::uint16_t>(std::stoul(match[2], nullptr, 16));
            if (!m_tagged) {
                ++m_books.lost;
                ++m_books.byFunction[functionId];
            } else if (functionId == kTaggedId && splitTag(static_cast<std::uint32_t>(std::stoul(match[3], nullptr, 16)), id, sequence)) {
                m_producers[id].losses.push_back(sequence);
            } else {
                fault("a loss report of something never sent: " + line);
            }
        } else if (line == "XOB: " + devicePath + " couldn't be opened! Retry in 1 Second...") {
            ++m_books.reports["open"];
        } else if (line == "XOB: Element defective") {
            ++m_books.reports["defective"];
        } else if (std::regex_match(line, match, queued)) {
            m_books.reports["queued"] += std::stoul(match[1]);
        } else {
            fault("an unexplained system-log line: " + line);
        }
    }
    for (const auto& entry : m_producers) {
        const Producer& producer = entry.second;
        m_books.sent += producer.attempted;
        std::vector<bool> booked(producer.attempted, false);
        std::uint32_t next = 0;
        // Arrivals must be in order and new; losses must name a record sent that did not arrive.
        for (const bool arrival : {true, false}) {
            for (const std::uint32_t sequence : arrival ? producer.arrivals : producer.losses) {
                if (sequence >= booked.size() || booked[sequence] || (arrival && sequence < next)) {
                    fault("producer " + std::to_string(entry.first) + " #" + std::to_string(sequence) +
                          (arrival ? " arrived" : " reported lost") + " unsent, twice or late");
                    continue;
                }
                booked[sequence] = true;
                next = arrival ? sequence + 1 : next;
                ++(arrival ? m_books.delivered : m_books.lost);
            }
        }
        for (std::uint32_t sequence = 0; sequence < booked.size(); ++sequence) {
            if (!booked[sequence]) ++(sequence < producer.completed ? m_books.missing : m_books.cutOff);
        }
    }
    m_books.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    return m_books;
}

std::vector<std::uint32_t> Ledger::arrivals(std::uint8_t id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_producers.find(id);
    return found == m_producers.end() ? std::vector<std::uint32_t>{} : found->second.arrivals;
}

void expectBalanced(const char* scenario, Books& books, std::uint64_t unexplained, const std::string& extra,
                    std::uint64_t defective) {
    const char* const paces[] = {"native", "sanitized", "emulated", "soak"};
    const std::uint64_t counted = std::min(books.missing, unexplained);  // by a count report, not one by one
    std::printf("[stress] %s pace=%s sent=%llu delivered=%llu lost=%llu cut-off=%llu unaccounted=%llu seconds=%.1f %s\n",
                scenario, paces[pace()], static_cast<unsigned long long>(books.sent),
                static_cast<unsigned long long>(books.delivered), static_cast<unsigned long long>(books.lost + counted),
                static_cast<unsigned long long>(books.cutOff), static_cast<unsigned long long>(books.missing - counted),
                books.seconds, extra.c_str());
    std::fflush(stdout);
    EXPECT_EQ(books.fault, "");
    EXPECT_LE(books.missing, unexplained) << "records neither delivered nor reported";
    EXPECT_LE(books.reports["defective"], defective) << "\"XOB: Element defective\" reports";
}

}  // namespace xobtest
