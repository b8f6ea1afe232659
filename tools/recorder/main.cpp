// xob-recorder: stands in for the recorder device on a Linux desk. Creates a FIFO at the device
// path, prints one line per record that arrives (raw, or decoded by the code of xob-decode) and
// can append the raw records to a file for later decoding.
#include "Decoder.h"
#include "FifoDevice.h"
#include "Printer.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef XOB_DEVICE_PATH
#define XOB_DEVICE_PATH "/net/hub/dev/xob"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

const char* const kDescription =
    "Stands in for the recorder device: creates a FIFO at DEVICE, reads the command records that\n"
    "libxob writes to it and prints one line per record. Stops on SIGINT or SIGTERM, removes the\n"
    "FIFO and prints the count of records and bytes it received on standard error.";

const char* const kFooter = R"(
Without --decode a line shows the command, the function identifier, the timestamp and the payload
in hex. With --decode it is the line xob-decode prints for the record (see xob-decode --help),
with the record's offset counted in bytes received since the start.

Examples:
  xob-recorder --decode /tmp/xob                      watch entries arrive, by name
  xob-recorder --output session.xob --quiet &         record now, decode later:
  xob-decode session.xob
)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kDescription, "xob-recorder");
    app.footer(kFooter);
    app.get_formatter()->column_width(28);

    std::string path = XOB_DEVICE_PATH;
    std::string output;
    bool quiet = false;
    bool decode = false;
    bool noHeader = false;
    xob::decoder::PrintOptions options;
    app.add_option("DEVICE", path, "path of the FIFO to create")->default_str(XOB_DEVICE_PATH);
    app.add_option("-o,--output", output, "also append every raw record to FILE")->type_name("FILE");
    app.add_flag("-d,--decode", decode, "print each record decoded, as xob-decode does");
    app.add_flag("-j,--json", options.json, "with --decode: one JSON object per record (implies --decode)");
    app.add_flag("--no-header", noHeader, "with --decode: no column titles");
    app.add_flag("-q,--quiet", quiet, "print no line per record");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    decode = decode || options.json;
    options.header = !noHeader;

    std::FILE* raw = nullptr;
    if (!output.empty()) {
        raw = std::fopen(output.c_str(), "ab");
        if (raw == nullptr) {
            std::fprintf(stderr, "xob-recorder: cannot open %s: %s\n", output.c_str(), std::strerror(errno));
            return 1;
        }
    }

    struct sigaction action {};
    action.sa_handler = onSignal;  // no SA_RESTART: a signal ends the wait for data
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    xob::recorder::FifoDevice device(path);
    if (!device.ok()) {
        std::fprintf(stderr, "xob-recorder: %s\n", device.error().c_str());
        return 1;
    }
    std::fprintf(stderr, "xob-recorder: listening on %s\n", path.c_str());

    xob::decoder::RecordPrinter printer(stdout, options);
    unsigned long records = 0;
    unsigned long long bytes = 0;
    const auto onRecord = [&](xob::recorder::Record&& record) {
        const std::size_t offset = static_cast<std::size_t>(bytes);
        ++records;
        bytes += record.size();
        if (raw != nullptr) {
            std::fwrite(record.data(), 1, record.size(), raw);
            std::fflush(raw);
        }
        if (quiet) {
            return;
        }
        if (decode) {
            printer.print(xob::decoder::decodeRecord(record.data(), record.size(), offset));
        } else {
            std::printf("%s\n", xob::recorder::describeRecord(record).c_str());
        }
        std::fflush(stdout);
    };
    while (g_stop == 0) {
        device.pump(-1, onRecord);
    }
    device.pump(0, onRecord);  // what writers left in the FIFO before the signal
    device.unlink();
    if (raw != nullptr) {
        std::fclose(raw);
    }
    std::fprintf(stderr, "xob-recorder: %lu records, %llu bytes", records, bytes);
    if (decode && !quiet) {
        std::fprintf(stderr, ", %zu damaged", printer.damaged());
    }
    std::fprintf(stderr, "\n");
    return 0;
}
