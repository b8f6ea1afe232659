#include "Ledger.h"

#include "ForkSupport.h"

#include <iostream>
#include <regex>
#include <sys/mman.h>

namespace xobtest {

namespace {

constexpr std::uint8_t kMarkerProducer = 0xFF;  // the ledger's own records, which mark the end of a run
constexpr std::uint16_t kTaggedId = 0x752;      // SYSHDU_LogEntry
thread_local std::uint32_t t_sendingSequence = kSequences;

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
    return value ^ (value >> 15);
}

struct Tagged {  // the texts (the tag, then letters; lengths and letters vary by tag) and timestamp
    explicit Tagged(std::uint32_t tag) noexcept : time(static_cast<int>(mix(tag) & 0xFFFFFFu)) {
        std::memcpy(first, &tag, 4);
        const std::uint32_t firstEnd = 4 + mix(tag + 1) % 125, secondEnd = mix(tag + 2) % 129;
        for (std::uint32_t i = 4; i < 130; ++i) first[i] = i < firstEnd ? 'a' + char(mix(tag ^ i) % 26) : 0;
        for (std::uint32_t i = 0; i < 130; ++i) second[i] = i < secondEnd ? 'a' + char(mix(~tag ^ i) % 26) : 0;
    }
    char first[130], second[130];
    int time;
};

void sendTagged(std::uint8_t producer, std::uint32_t sequence) noexcept {
    sequence %= kSequences;
    Tagged record(static_cast<std::uint32_t>(producer) << 24 | (sequence / (255u * 255u) + 1u) << 16 |
                  (sequence / 255u % 255u + 1u) << 8 | (sequence % 255u + 1u));
    GXob::SYSHDU_LogEntry(record.first, record.second, true, record.time);
}

bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept {
    const std::uint32_t low = tag & 0xFFu, middle = tag >> 8 & 0xFFu, high = tag >> 16 & 0xFFu;
    producer = static_cast<std::uint8_t>(tag >> 24);
    sequence = (high - 1u) * 255u * 255u + (middle - 1u) * 255u + (low - 1u);
    return low != 0 && middle != 0 && high != 0 && producer != 0;
}

}  // namespace

std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated) {
    return std::vector<std::uint32_t>{native, sanitized, emulated, soak}[pace()];
}

void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept {
    t_sendingSequence = count.attempted++;
    sendTagged(producer, t_sendingSequence);
    count.completed = t_sendingSequence + 1;
    t_sendingSequence = kSequences;
}

std::uint32_t sendingSequence() noexcept { return t_sendingSequence; }

Producers::Producers(std::uint8_t first, unsigned many, std::uint32_t each, std::chrono::microseconds gap,
                     ProducerCount* counts)
    : slowestNs(many) {
    for (unsigned i = 0; i < many; ++i) {
        const auto id = static_cast<std::uint8_t>(first + i);
        threads.emplace_back([this, i, id, &count = counts[id], each, gap] {
            for (std::uint32_t n = 0; n < each && !stop; ++n) {
                const std::uint64_t before = monotonicNs();
                sendCounted(id, count);
                slowestNs[i] = std::max<std::int64_t>(slowestNs[i], static_cast<std::int64_t>(monotonicNs() - before));
                std::this_thread::sleep_for(gap);
            }
        });
    }
}

ChildBoard* ChildBoard::map(const std::string& path) {
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    void* memory = file < 0 || ftruncate(file, sizeof(ChildBoard)) != 0
                       ? MAP_FAILED
                       : mmap(nullptr, sizeof(ChildBoard), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
    if (file >= 0) close(file);
    return memory == MAP_FAILED ? nullptr : static_cast<ChildBoard*>(memory);
}

Ledger::Ledger(DeviceStandIn& device, bool tagged)
    : m_tagged(tagged), m_device(device), m_thread([this] {
          Bytes bytes;
          while (!m_stop) {
              if (m_device.next(bytes, 20)) arrived(xob::decoder::decodeRecord(bytes.data(), bytes.size()));
          }
      }) {
    SyslogCapture::instance().clear();
}

Ledger::~Ledger() {
    m_stop = true;
    m_thread.join();
}

void Ledger::fault(const std::string& what) {
    if (m_books.fault.empty()) m_books.fault = what;
}

void Ledger::arrived(const xob::decoder::DecodedRecord& record) {
    std::uint32_t tag = 0, sequence = 0;
    std::uint8_t id = 0;
    if (record.functionId == kTaggedId && record.fields.size() == 2 && record.fields[0].value.text.size() >= 4) {
        std::memcpy(&tag, record.fields[0].value.text.data(), 4);
    }
    const Tagged expected(tag);  // a tagged record is exactly the record of the tag that leads it
    const bool tagged = splitTag(tag, id, sequence) && record.timestamp == static_cast<std::uint32_t>(expected.time) &&
                        record.fields[0].value.text == expected.first && record.fields[1].value.text == expected.second;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (record.damaged()) {
        fault("a damaged record: " + record.damage.front());
    } else if (tagged && id == kMarkerProducer) {
        ++m_markersSeen;
    } else if (tagged) {
        m_books.arrivals[id].push_back(sequence);
    } else if (m_tagged) {
        fault(std::string("a corrupt record: ") + record.name());
    } else {
        ++m_books.delivered;
        ++m_books.byFunction[record.functionId];
    }
}

Books Ledger::close(const std::string& devicePath, const ProducerCount* counts) {
    const std::chrono::milliseconds limit(pick(600000, 120000, 300000, 300000));
    // A marker sent once the writer is idle arrives after everything sent before it.
    const auto allMarkersSeen = [this] { return m_markersSeen == m_markersSent; };
    EXPECT_TRUE(waitForWriterIdle(static_cast<int>(limit.count())) &&
                (sendTagged(kMarkerProducer, m_markersSent++), eventually(allMarkersSeen, limit)))
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
            ++m_books.reports[match[1].str()[0] == 'X' ? "full" : match[1].str()[0] == 'P' ? "exiting" : "mutex"];
            const auto functionId = static_cast<std::uint16_t>(std::stoul(match[2], nullptr, 16));
            const bool named = functionId == kTaggedId && splitTag(std::stoul(match[3], nullptr, 16), id, sequence);
            if (!m_tagged) {
                ++m_books.lost;
                ++m_books.byFunction[functionId];
            } else if (named) {
                m_losses[id].push_back(sequence);
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
    for (std::uint8_t id = 1; id < kMarkerProducer; ++id) {
        const std::uint32_t completed = counts != nullptr ? counts[id].completed.load() : 0;
        std::vector<bool> booked(counts != nullptr ? counts[id].attempted.load() : 0, false);
        std::uint32_t next = 0;
        // Arrivals must be in order and new; losses must name a record sent that did not arrive.
        for (const bool arrival : {true, false}) {
            for (const std::uint32_t sequence : (arrival ? m_books.arrivals : m_losses)[id]) {
                if (sequence >= booked.size() || booked[sequence] || (arrival && sequence < next)) {
                    fault("producer " + std::to_string(id) + " #" + std::to_string(sequence) +
                          (arrival ? " arrived" : " reported lost") + " unsent, twice or late");
                    continue;
                }
                booked[sequence] = true;
                next = arrival ? sequence + 1 : next;
                ++(arrival ? m_books.delivered : m_books.lost);
            }
        }
        for (std::uint32_t sequence = 0; sequence < booked.size(); ++sequence) {
            if (!booked[sequence]) ++(sequence < completed ? m_books.missing : m_books.cutOff);
        }
        m_books.sent += booked.size();
    }
    return m_books;
}

void expectBalanced(const char* scenario, Books& books, const std::string& extra, std::uint64_t defective) {
    const char* const paces[] = {"native", "sanitized", "emulated", "soak"};
    std::map<std::string, std::uint64_t>& reports = books.reports;
    const std::uint64_t unexplained = reports["open"] / 30 + reports["queued"] + reports["lines lost"];
    const std::uint64_t counted = std::min(books.missing, unexplained);
    std::cout << "[stress] " << scenario << " pace=" << paces[pace()] << " sent=" << books.sent << " delivered="
              << books.delivered << " lost=" << books.lost + counted << " cut-off=" << books.cutOff << " unaccounted="
              << books.missing - counted << " " << extra << std::endl;
    EXPECT_EQ(books.fault, "");
    EXPECT_LE(books.missing, unexplained) << "records neither delivered nor reported";
    EXPECT_LE(reports["defective"], defective) << "\"XOB: Element defective\" reports";
}

}  // namespace xobtest
