// Writes the decoder's seed corpus into DIR: the control records as the library sends them to a
// device stand-in, then every golden record of tests/entries/records.golden; one record per file,
// and all of them in order in stream.xob.
#include "DeviceStandIn.h"
#include "Golden.h"

#include <xob/GXob.h>

#include <cstdio>
#include <string>
#include <vector>

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
    if (argc != 3) {
        std::fprintf(stderr, "Usage: xob_fuzz_corpus GOLDEN DIR\n");
        return 2;
    }
    const std::string dir = argv[2];
    std::vector<xobtest::Bytes> records;
    {
        xobtest::DeviceStandIn device;
        GXob::Init_NavLogfiles();
        GXob::writeSetXobActivFlag(true);
        xobtest::waitForWriterIdle();
        GXob::doStop_Flush();
        records = device.take(3 + 1 + 1);
    }
    if (records.size() != 5) {
        std::fprintf(stderr, "xob_fuzz_corpus: %zu of 5 control records arrived\n", records.size());
        return 1;
    }
    for (const xobtest::GoldenCase& c : xobtest::goldenCases(argv[1])) {
        if (c.records) {
            records.push_back(c.bytes);
        }
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
