// The entry calls that the benchmarks measure, each with the same record built by hand.
#ifndef XOB_BENCH_CASES_H
#define XOB_BENCH_CASES_H

#include "BenchSupport.h"

#include <cstdint>
#include <vector>

namespace xobbench {

struct EntryCase {
    const char* key;    // part of the benchmark's name
    const char* label;  // the table's words
    void (*callLibrary)();
    // Builds the record the library call sends, all but its timestamp, into `record` (2056 bytes
    // of stack) with plain stores and copies; returns its size in bytes.
    std::uint32_t (*buildByHand)(unsigned char* record);
};

// The cases. The object-layer case is there when the library has its object layer.
const std::vector<EntryCase>& entryCases();

// Sends each case once through the library to `device` and checks that the record that arrives
// equals the one built by hand (bytes 8 to 11, the timestamp, aside); also takes from the
// object-layer case the texts its record carries. Returns false (and says why on stderr) if any
// record differs.
bool checkCases(StandIn& device);

// The typical small entry's record built by hand (the delivery benchmarks send it).
std::uint32_t buildNavStart(unsigned char* record);
void callNavStart();

}  // namespace xobbench

#endif
