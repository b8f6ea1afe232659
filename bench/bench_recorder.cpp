// Keeping up: records per second that xob-recorder receives and saves while eight producer
// processes record through the library, against the same producers delivering into a bare reader
// (a plain read loop on a FIFO). The receivers take turns, round after round; each round counts
// from the producers' start to the moment the receiver holds the last record (the bare loop has
// read it, the recorder's file holds it). Not a test: bench/run.sh runs it.
//
// Usage: xob_bench_recorder [--records N] [--rounds R]    (N per producer, default 20000; R default 3)
#include "support/BenchSupport.h"
#include "support/Cases.h"

#include <xob/GXob.h>

#include "platform/Seams.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kProducers = 8;
constexpr int kBurst = 100;  // below the library's 120-slot ring, so that no record is refused
using Clock = std::chrono::steady_clock;

// A producer process: bursts of entry calls, each delivered by the library's writer thread before
// the next burst starts.
int produce(const char* path, long records) {
    xob::seams::setDevicePath(path);
    for (long sent = 0; sent < records; sent += kBurst) {
        for (int i = 0; i < kBurst; ++i) {
            xobbench::callNavStart();
        }
        while (GXob::getXOBThreadActive()) {
            xobbench::pause(100);
        }
    }
    return 0;
}

// Runs a program; its standard output to `outPath`, its standard error to `errPath` if given.
pid_t spawn(const std::vector<std::string>& arguments, const char* outPath = nullptr, const char* errPath = nullptr) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (outPath != nullptr) {
            dup2(open(outPath, O_WRONLY), STDOUT_FILENO);
        }
        if (errPath != nullptr) {
            dup2(open(errPath, O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::vector<pid_t> startProducers(const std::string& path, long records) {
    std::vector<pid_t> pids;
    for (int i = 0; i < kProducers; ++i) {
        pids.push_back(spawn({"/proc/self/exe", "--produce", path, std::to_string(records)}));
    }
    return pids;
}

bool awaitAll(const std::vector<pid_t>& pids) {
    bool ok = true;
    for (const pid_t pid : pids) {
        int status = 0;
        ok = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double cpuSeconds(const rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One round of one receiver: records per second, and the receiver's own processor time per record.
struct Round {
    double rate = 0;  // 0: not every record came
    double cpuUs = 0;
};

// The bare reader: this process reads the FIFO in a plain loop and counts bytes.
Round bareReader(const std::string& dir, long total, std::size_t recordSize) {
    const std::string path = dir + "/bare";
    mkfifo(path.c_str(), 0600);
    const int readEnd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const int keepAlive = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    const std::size_t expected = static_cast<std::size_t>(total) * recordSize;
    std::size_t got = 0;
    static char buffer[65536];
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    const std::vector<pid_t> producers = startProducers(path, total / kProducers);
    while (got < expected && seconds(start) < 120) {
        pollfd watched{readEnd, POLLIN, 0};
        poll(&watched, 1, 1000);
        for (ssize_t n; (n = read(readEnd, buffer, sizeof buffer)) > 0;) {
            got += static_cast<std::size_t>(n);
        }
    }
    const double elapsed = seconds(start);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const bool producersOk = awaitAll(producers);
    close(keepAlive);
    close(readEnd);
    unlink(path.c_str());
    const bool complete = got == expected && producersOk;
    return {complete ? static_cast<double>(total) / elapsed : 0, (cpuSeconds(after) - cpuSeconds(before)) * 1e6 / total};
}

// xob-recorder with `options`, its standard output to /dev/null.
Round recorder(const std::string& dir, long total, std::size_t recordSize, std::vector<std::string> options) {
    const std::string path = dir + "/device";
    const std::string saved = dir + "/saved.xob";
    const std::string errors = dir + "/recorder.log";
    unlink(saved.c_str());
    options.insert(options.begin(), XOB_BENCH_RECORDER_TOOL);
    options.insert(options.end(), {"--output", saved, path});
    const pid_t pid = spawn(options, "/dev/null", errors.c_str());
    for (const auto start = Clock::now(); seconds(start) < 10;) {
        const int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (probe >= 0) {
            close(probe);
            break;
        }
        xobbench::pause(1000);
    }
    const off_t expected = static_cast<off_t>(total) * static_cast<off_t>(recordSize);
    struct stat status {};
    const auto start = Clock::now();
    const std::vector<pid_t> producers = startProducers(path, total / kProducers);
    while ((stat(saved.c_str(), &status) != 0 || status.st_size < expected) && seconds(start) < 120) {
        xobbench::pause(500);
    }
    const double elapsed = seconds(start);
    const bool producersOk = awaitAll(producers);
    kill(pid, SIGTERM);
    int ended = 0;
    rusage usage{};
    const bool recorderOk = wait4(pid, &ended, 0, &usage) == pid && WIFEXITED(ended) && WEXITSTATUS(ended) == 0;
    const bool complete = status.st_size == expected && producersOk && recorderOk;
    return {complete ? static_cast<double>(total) / elapsed : 0, cpuSeconds(usage) * 1e6 / total};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--produce") == 0) {
        return produce(argv[2], std::atol(argv[3]));
    }
    long perProducer = 20000;
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--records") == 0) {
            perProducer = std::atol(argv[i + 1]) / kBurst * kBurst;
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::atoi(argv[i + 1]);
        }
    }
    if (perProducer <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: xob_bench_recorder [--records N] [--rounds R]\n");
        return 2;
    }
    unsigned char record[2056];
    const std::size_t recordSize = xobbench::buildNavStart(record);
    const long total = perProducer * kProducers;
    const std::string dir = xobbench::makeTempDir();

    struct Receiver {
        const char* label;
        std::vector<std::string> options;  // empty label options: the bare reader
        std::vector<double> rates;
        std::vector<double> cpuUs;
    };
    std::vector<Receiver> receivers = {{"bare read loop", {}, {}, {}},
                                       {"xob-recorder --output", {"--quiet"}, {}, {}},
                                       {"xob-recorder --output --decode", {"--decode"}, {}, {}}};
    bool complete = true;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < receivers.size(); ++i) {
            const Round result = i == 0 ? bareReader(dir, total, recordSize)
                                        : recorder(dir, total, recordSize, receivers[i].options);
            complete = complete && result.rate > 0;
            receivers[i].rates.push_back(result.rate);
            receivers[i].cpuUs.push_back(result.cpuUs);
        }
    }
    xobbench::removeDir(dir);

    std::printf("Keeping up: %d producer processes, %ld records each (Nav_StartRGHDU, %zu bytes), delivered\n"
                "by the library in bursts of %d; %d rounds, median [range] (goal: >= 0.90 of the bare reader)\n",
                kProducers, perProducer, recordSize, kBurst, rounds);
    std::printf("%-34s %-26s %-14s %s\n", "receiver", "records/s", "/ bare reader", "receiver CPU per record");
    const double bare = median(receivers[0].rates);
    for (const Receiver& receiver : receivers) {
        const auto range = std::minmax_element(receiver.rates.begin(), receiver.rates.end());
        std::printf("%-34s %6.0fk [%4.0fk-%4.0fk]        %-14.2f %.2f us\n", receiver.label,
                    median(receiver.rates) / 1000, *range.first / 1000, *range.second / 1000,
                    bare > 0 ? median(receiver.rates) / bare : 0.0, median(receiver.cpuUs));
    }
    if (!complete) {
        std::printf("(some round did not receive every record: its rate is 0)\n");
        return 1;
    }
    return 0;
}
