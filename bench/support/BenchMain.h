// What both benchmark programs do before and around Google Benchmark: their own options
// (--bursts=N, --float-callers) and a quiet reporter that only says which benchmark ran, so that
// the programs' own tables are the output.
#ifndef XOB_BENCH_BENCHMAIN_H
#define XOB_BENCH_BENCHMAIN_H

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace xobbench {

class ProgressReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                std::fprintf(stderr, "  ran %s\n", run.benchmark_name().c_str());
            }
        }
    }
};

// Takes --bursts=N into `bursts` (at least 10) and --float-callers (the latency benchmarks' callers
// left to the scheduler instead of one per processor, see CallerThreads), hands the rest to Google
// Benchmark. False when Google Benchmark found an option it does not know.
inline bool initialize(int argc, char** argv, int& bursts) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--float-callers") == 0) {
            setLatencyCallersPinned(false);
        } else if (std::strncmp(argv[i], "--bursts=", 9) == 0) {
            bursts = std::max(10, std::atoi(argv[i] + 9));
        } else {
            rest.push_back(argv[i]);
        }
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    return !benchmark::ReportUnrecognizedArguments(restCount, rest.data());
}

}  // namespace xobbench

#endif
