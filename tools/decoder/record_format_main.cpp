// xob-record-format: writes a document that the build derives from the catalogue to FILE, or to
// standard output: the record-format document (docs/record-format.md), or with --jsonl-schema the
// JSON Schema of xob-decode's JSON Lines (docs/xob-jsonl.schema.json). The build runs it; the
// docs-drift tests compare the results with the checked-in copies.
#include "JsonSchema.h"
#include "RecordFormat.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const bool schema = argc > 1 && std::strcmp(argv[1], "--jsonl-schema") == 0;
    const int files = argc - 1 - (schema ? 1 : 0);
    if (files > 1 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        std::fprintf(files > 1 ? stderr : stdout, "Usage: xob-record-format [--jsonl-schema] [FILE]\n");
        return files > 1 ? 2 : 0;
    }
    const std::string document = schema ? xob::decoder::jsonLinesSchema() : xob::decoder::recordFormatDocument();
    std::FILE* out = files == 1 ? std::fopen(argv[argc - 1], "wb") : stdout;
    if (out == nullptr || std::fwrite(document.data(), 1, document.size(), out) != document.size()) {
        std::perror("xob-record-format");
        return 1;
    }
    return out == stdout ? 0 : (std::fclose(out) == 0 ? 0 : 1);
}
