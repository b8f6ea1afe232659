// Writes the decoder's seed corpus into DIR: the records of every round-trip call of the decoder
// tests and of the control functions, as the library sends them to a device stand-in; one record
// per file, and all of them in order in stream.xob.
#include "DeviceStandIn.h"
#include "RoundTripCases.h"

#include <xob/GXob.h>

#include <cstdio>
#include <string>

namespace {

bool writeFile(const std::string& path, const xobtest::Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: xob_fuzz_corpus DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    xobtest::DeviceStandIn device;
    GXob::Init_NavLogfiles();
    GXob::writeSetXobActivFlag(true);
    int time = 0x10000;
    for (const xobtest::RoundTripCase& c : xobtest::roundTripCases()) {
        xobtest::Args args(nlohmann::json::parse(c.fields));
        c.call(args, ++time);
    }
    xobtest::waitForWriterIdle();
    GXob::doStop_Flush();

    const std::size_t expected = 3 + 1 + xobtest::roundTripCases().size() + 1;
    const std::vector<xobtest::Bytes> records = device.take(expected);
    if (records.size() != expected) {
        std::fprintf(stderr, "xob_fuzz_corpus: %zu of %zu records arrived\n", records.size(), expected);
        return 1;
    }
    xobtest::Bytes stream;
    for (std::size_t i = 0; i < records.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/record-%03zu.xob", i);
        if (!writeFile(dir + name, records[i])) {
            std::perror(name);
            return 1;
        }
        stream.insert(stream.end(), records[i].begin(), records[i].end());
    }
    if (!writeFile(dir + "/stream.xob", stream)) {
        std::perror("stream.xob");
        return 1;
    }
    std::printf("xob_fuzz_corpus: %zu records in %s\n", records.size(), dir.c_str());
    return 0;
}
