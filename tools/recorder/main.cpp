// xob-recorder: stands in for the recorder device on a Linux desk. Creates a FIFO at the device
// path, prints one line per record that arrives (raw, or decoded by the code of xob-decode) and
// can save the raw records to a file, or a ring of files, for later decoding.
#include "Decoder.h"
#include "FifoDevice.h"
#include "Printer.h"
#include "RecordFile.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef XOB_DEVICE_PATH
#define XOB_DEVICE_PATH "/net/hub/dev/xob"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

// How long a stop waits for the writers that still have the FIFO open.
constexpr int kStopBudgetMs = 2000;

const char* const kDescription =
    "Stands in for the recorder device: creates a FIFO at DEVICE, reads the command records that\n"
    "libxob writes to it and prints one line per record. Stops on SIGINT or SIGTERM: removes the\n"
    "FIFO, reads on until every writer has closed it (at most 2 s), and prints the counts of\n"
    "records, bytes, damaged records and skipped bytes on standard error.";

const char* const kFooter = R"(
Without --decode a line shows the command, the function identifier, the timestamp and the payload
in hex. With --decode it is the line xob-decode prints for the record (see xob-decode --help),
with the record's offset counted in bytes received since the start. Bytes where no well-formed
record starts are reported on a line of their own with their offset, and skipped.

A FIFO at DEVICE that another reader holds open, and anything at DEVICE that is not a FIFO, is
left alone (exit status 1); a FIFO that no one reads is replaced.

Examples:
  xob-recorder --decode /tmp/xob                      watch entries arrive, by name
  xob-recorder --output session.xob --quiet &         record now, decode later:
  xob-decode session.xob
  xob-recorder --output run.xob --rotate 64M,8 --stats-every 60 --quiet /tmp/xob
)";

struct RotateOption {
    std::uint64_t bytes = 0;
    unsigned count = 10;
};

// "SIZE[,COUNT]", SIZE in bytes or with the suffix k, M or G (powers of 1024).
bool parseRotate(const std::string& text, RotateOption& rotate) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long size = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || errno != 0 || text[0] == '-') {
        return false;
    }
    const std::string suffix = std::string(end).substr(0, std::string(end).find(','));
    const unsigned shift = suffix.empty() ? 0 : suffix == "k" || suffix == "K" ? 10 : suffix == "M" ? 20 : suffix == "G" ? 30 : 99;
    if (shift == 99 || size == 0) {
        return false;
    }
    rotate.bytes = static_cast<std::uint64_t>(size) << shift;
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) {
        const std::string count = text.substr(comma + 1);
        const unsigned long value = std::strtoul(count.c_str(), &end, 10);
        if (count.empty() || *end != '\0' || value == 0 || value > 10000 || count[0] == '-') {
            return false;
        }
        rotate.count = static_cast<unsigned>(value);
    }
    return true;
}

bool parseMode(const std::string& text, unsigned& mode) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 8);
    if (text.empty() || *end != '\0' || value > 07777 || text[0] == '-') {
        return false;
    }
    mode = static_cast<unsigned>(value);
    return true;
}

struct Counts {
    unsigned long long records = 0;
    unsigned long long bytes = 0;
    unsigned long long damaged = 0;
};

std::string skipText(const xob::recorder::Skip& skip) {
    char where[128];
    if (skip.toEnd) {
        std::snprintf(where, sizeof where, "; skipped %zu bytes to the end of the stream", skip.size);
    } else {
        std::snprintf(where, sizeof where, "; skipped %zu bytes to the next well-formed record at offset %llu",
                      skip.size, static_cast<unsigned long long>(skip.offset + skip.size));
    }
    return skip.reason + where;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kDescription, "xob-recorder");
    app.footer(kFooter);
    app.get_formatter()->column_width(30);

    std::string path = XOB_DEVICE_PATH;
    std::string output;
    std::string rotateText;
    std::string modeText = "0622";
    double statsEvery = 0;
    bool quiet = false;
    bool decode = false;
    bool noHeader = false;
    xob::decoder::PrintOptions options;
    app.add_option("DEVICE", path, "path of the FIFO to create")->default_str(XOB_DEVICE_PATH);
    app.add_option("-o,--output", output, "also save every raw record to FILE (appended)")->type_name("FILE");
    app.add_option("--rotate", rotateText,
                   "with --output: start the next file of a ring of COUNT (default 10) files FILE, FILE.1, "
                   "... before FILE would pass SIZE bytes (suffix k, M, G)")
        ->type_name("SIZE[,COUNT]");
    app.add_option("--mode", modeText, "the FIFO's permissions, whatever the umask")
        ->type_name("OCTAL")
        ->default_str("0622");
    app.add_option("--stats-every", statsEvery, "print the counts on standard error every SECONDS")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    app.add_flag("-d,--decode", decode, "print each record decoded, as xob-decode does");
    app.add_flag("-j,--json", options.json, "with --decode: one JSON object per record (implies --decode)");
    app.add_flag("--no-header", noHeader, "with --decode: no column titles");
    app.add_flag("-q,--quiet", quiet, "print no line per record");
    RotateOption rotate;
    unsigned mode = xob::recorder::FifoDevice::kDefaultMode;
    try {
        app.parse(argc, argv);
        if (!rotateText.empty() && (!parseRotate(rotateText, rotate) || output.empty())) {
            throw CLI::ValidationError("--rotate", "'" + rotateText + "' needs --output and the form SIZE[,COUNT]");
        }
        if (!parseMode(modeText, mode)) {
            throw CLI::ValidationError("--mode", "'" + modeText + "' is not an octal mode such as 0622");
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    decode = decode || options.json;
    options.header = !noHeader;

    xob::recorder::RecordFile saved;
    if (!output.empty() && !saved.open(output, rotate.bytes, rotate.count)) {
        std::fprintf(stderr, "xob-recorder: %s\n", saved.error().c_str());
        return 1;
    }

    // SIGINT and SIGTERM are let in only while the recorder waits for data, so that none is missed
    // between a check and the wait. A closed standard output shows as EPIPE on writing.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    xob::recorder::FifoDevice device(path, mode);
    if (!device.ok()) {
        std::fprintf(stderr, "xob-recorder: %s\n", device.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "xob-recorder: listening on %s\n", path.c_str());

    // Lines go out whenever the FIFO has been read empty, not one write each.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    xob::decoder::RecordPrinter printer(stdout, options);
    Counts counts;
    unsigned long long streamOffset = 0;
    bool printing = !quiet;
    bool saveFailed = false;
    const auto onRecord = [&](xob::recorder::Record&& record) {
        const std::size_t offset = static_cast<std::size_t>(streamOffset);
        streamOffset += record.size();
        ++counts.records;
        counts.bytes += record.size();
        if (saved.isOpen() && !saved.write(record) && !saveFailed) {
            saveFailed = true;
            std::fprintf(stderr, "xob-recorder: %s\n", saved.error().c_str());
        }
        if (decode) {
            const xob::decoder::DecodedRecord decoded = xob::decoder::decodeRecord(record.data(), record.size(), offset);
            counts.damaged += decoded.damaged() ? 1 : 0;
            if (printing) {
                printer.print(decoded);
            }
        } else if (printing) {
            std::printf("%s\n", xob::recorder::describeRecord(record).c_str());
        }
    };
    device.setSkipHandler([&](const xob::recorder::Skip& skip) {
        streamOffset += skip.size;
        ++counts.damaged;
        if (printing && decode) {
            xob::decoder::DecodedRecord line;
            line.offset = static_cast<std::size_t>(skip.offset);
            line.size = skip.size;
            line.damage.push_back(skipText(skip));
            line.undecoded = skip.head;
            printer.print(line);
        } else {
            std::fprintf(printing ? stdout : stderr, "offset %llu: %s\n", static_cast<unsigned long long>(skip.offset),
                         skipText(skip).c_str());
        }
    });

    using Clock = std::chrono::steady_clock;
    const auto statsPeriod = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(statsEvery));
    auto nextStats = Clock::now() + statsPeriod;
    Counts lastStats;
    while (g_stop == 0) {
        int timeoutMs = -1;
        if (statsEvery > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextStats - Clock::now()).count();
            timeoutMs = left > 0 ? static_cast<int>(left) : 0;
        }
        device.pump(timeoutMs, onRecord, &waitMask);
        if (saved.isOpen()) {
            saved.flush();
        }
        if (printing && std::fflush(stdout) != 0) {
            printing = false;
            std::fprintf(stderr, "xob-recorder: standard output closed (%s); %s\n", std::strerror(errno),
                         saved.isOpen() ? "saving goes on" : "stopping");
            if (!saved.isOpen()) {
                break;
            }
        }
        if (statsEvery > 0 && Clock::now() >= nextStats) {
            std::fprintf(stderr, "xob-recorder: %.0f records/s, %.0f bytes/s, %llu damaged in %g s; %llu records in all\n",
                         static_cast<double>(counts.records - lastStats.records) / statsEvery,
                         static_cast<double>(counts.bytes - lastStats.bytes) / statsEvery,
                         counts.damaged - lastStats.damaged, statsEvery, counts.records);
            lastStats = counts;
            nextStats += statsPeriod;
        }
    }
    const xob::recorder::FifoDevice::StopResult stop = device.drain(kStopBudgetMs, onRecord);
    if (printing && std::fflush(stdout) != 0) {
        printing = false;
    }
    if (!saved.close() && !saveFailed) {
        saveFailed = true;
        std::fprintf(stderr, "xob-recorder: %s\n", saved.error().c_str());
    }
    std::fprintf(stderr, "xob-recorder: %llu records, %llu bytes, %llu damaged, %llu bytes skipped", counts.records,
                 counts.bytes, counts.damaged, static_cast<unsigned long long>(device.skippedBytes()));
    if (!stop.writersClosed) {
        std::fprintf(stderr, "; writers still had the FIFO open after %d s, %zu bytes dropped at stop",
                     kStopBudgetMs / 1000, stop.droppedBytes);
    }
    std::fprintf(stderr, "\n");
    return saveFailed ? 1 : 0;
}
