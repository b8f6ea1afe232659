// xob-recorder: stands in for the recorder device on a Linux desk. Creates a FIFO at the device
// path, prints one line per record that arrives and can append the raw records to a file.
#include "FifoDevice.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <string>

#ifndef XOB_DEVICE_PATH
#define XOB_DEVICE_PATH "/net/hub/dev/xob"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

void usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: xob-recorder [--output FILE] [--quiet] [DEVICE]\n"
                 "\n"
                 "Stands in for the recorder device: creates a FIFO at DEVICE (default %s),\n"
                 "reads the command records that libxob writes to it and prints one line per\n"
                 "record (command, function identifier, timestamp, payload in hex).\n"
                 "Stops on SIGINT or SIGTERM, removes the FIFO and prints what it received.\n"
                 "\n"
                 "  -o, --output FILE  also append every raw record to FILE\n"
                 "  -q, --quiet        print no line per record\n"
                 "  -h, --help         show this text\n",
                 XOB_DEVICE_PATH);
}

}  // namespace

int main(int argc, char** argv) {
    std::string output;
    bool quiet = false;
    const option options[] = {{"output", required_argument, nullptr, 'o'},
                              {"quiet", no_argument, nullptr, 'q'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    for (int c; (c = getopt_long(argc, argv, "o:qh", options, nullptr)) != -1;) {
        switch (c) {
        case 'o': output = optarg; break;
        case 'q': quiet = true; break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (argc - optind > 1) {
        usage(stderr);
        return 2;
    }
    const std::string path = optind < argc ? argv[optind] : XOB_DEVICE_PATH;

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

    unsigned long records = 0;
    unsigned long long bytes = 0;
    while (g_stop == 0) {
        device.pump(-1, [&](xob::recorder::Record&& record) {
            ++records;
            bytes += record.size();
            if (raw != nullptr) {
                std::fwrite(record.data(), 1, record.size(), raw);
                std::fflush(raw);
            }
            if (!quiet) {
                std::printf("%s\n", xob::recorder::describeRecord(record).c_str());
                std::fflush(stdout);
            }
        });
    }
    device.unlink();
    if (raw != nullptr) {
        std::fclose(raw);
    }
    std::fprintf(stderr, "xob-recorder: %lu records, %llu bytes\n", records, bytes);
    return 0;
}
