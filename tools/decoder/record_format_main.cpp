// xob-record-format: writes the record-format document (docs/record-format.md) from the catalogue
// to FILE, or to standard output. The build runs it; the docs-drift test compares the result with
// the checked-in copy.
#include "RecordFormat.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        std::fprintf(argc > 2 ? stderr : stdout, "Usage: xob-record-format [FILE]\n");
        return argc > 2 ? 2 : 0;
    }
    const std::string document = xob::decoder::recordFormatDocument();
    std::FILE* out = argc == 2 ? std::fopen(argv[1], "wb") : stdout;
    if (out == nullptr || std::fwrite(document.data(), 1, document.size(), out) != document.size()) {
        std::perror("xob-record-format");
        return 1;
    }
    return out == stdout ? 0 : (std::fclose(out) == 0 ? 0 : 1);
}
