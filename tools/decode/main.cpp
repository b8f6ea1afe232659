// xob-decode: prints the command records of a recording (a file that `xob-recorder --output`
// wrote, or standard input) one line per record, every entry by name and every field by name.
#include "Catalogue.h"
#include "Decoder.h"
#include "Printer.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kDescription =
    "Decodes the command records that libxob sends to the recorder device: one line per record with\n"
    "the command, the timestamp, the function identifier, the entry's name and every payload field by\n"
    "name. Reads FILE (a recording written by `xob-recorder --output FILE`) or, without FILE or with\n"
    "'-', standard input.";

const char* const kFooter = R"(
Text columns:
  offset   byte offset of the record in the input
  command  InitFiles, LogEntry, SetActivFlag, StopFlush (FlushFilesReady: the device's reply)
  time     timestamp in hundredths of a second (log entries), as the library stamped it
  clock    the same as h:mm:ss.cc (the clock wraps after 46:36:12.16)
  id       function identifier; sub: sub-identifier, where the entry kind has one
  entry    the entry function's name (GXob::<entry>); --name matches it, or the command's name
           for the other commands (InitFiles, SetActivFlag, StopFlush)
  fields   name=value: texts in double quotes with \" \\ \n \r \t and \xNN escapes, characters in
           single quotes, enumerations by their names where the library defines them, byte
           blocks in hex [00 1A ..], lists as [{...}, {...}]

JSON Lines (--json): one object per record with the keys offset, size, command, commandCode,
timestamp, clock, functionId ("0x41B"), sub, entry, fields, undecoded and damage; a key without
a value is null. Every enumeration field has a companion <field>Name (null for unnamed values).
Texts are Latin-1 on the wire and UTF-8 in JSON; byte blocks are hex strings.

Damaged input (a length field no record can have, a record cut off at the end, a payload shorter
than its layout, an unknown identifier or sub-identifier, a text without terminator) is reported
on the record's own line after "!!" (JSON: "damage"), with the record's offset; decoding goes on
with the next record, or the next place where a well-formed record starts.

Exit status: 0 every record is well-formed, 1 some record is damaged (whatever the selection
shows), 2 usage error or unreadable input.

Examples:
  xob-decode recording.xob
  xob-decode --id 0x41B recording.xob                 media entries only
  xob-decode --name 'Nav_*' --name 'WatchDog*' recording.xob
  xob-decode --damaged recording.xob                  what is wrong, and where
  xob-decode --json recording.xob | jq 'select(.entry == "Nav_StartRGHDU_LogEntry") | .fields'
  xob-recorder --output live.xob & ... ; xob-decode < live.xob
  xob-decode --list                                   every entry kind the decoder knows
)";

bool readAll(std::FILE* in, std::vector<std::uint8_t>& data) {
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        data.insert(data.end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            return std::ferror(in) == 0;
        }
    }
}

void listCatalogue() {
    for (const xob::decoder::EntryKind& kind : xob::decoder::entryKinds()) {
        const std::string sub = kind.key == xob::decoder::KeyKind::SubId     ? std::to_string(kind.keyValue)
                                : kind.key == xob::decoder::KeyKind::AnySubId ? "other"
                                                                              : "-";
        std::printf("0x%03X  %5s  %s\n", kind.functionId, sub.c_str(), kind.name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kDescription, "xob-decode");
    app.footer(kFooter);
    app.get_formatter()->column_width(28);

    std::string file = "-";
    xob::decoder::PrintOptions options;
    std::vector<std::string> ids;
    bool noHeader = false;
    bool list = false;
    app.add_option("FILE", file, "recording to decode; '-' or none: standard input");
    app.add_flag("-j,--json", options.json, "one JSON object per record (JSON Lines)");
    app.add_option("-i,--id", ids, "only records with this function identifier, 0x41B or 1051; repeatable")
        ->type_name("ID")
        ->allow_extra_args(false);
    app.add_option("-n,--name", options.patterns,
                   "only entries whose name matches the shell pattern (* ? [...]), e.g. 'Nav_*'; repeatable")
        ->type_name("PATTERN")
        ->allow_extra_args(false);
    app.add_flag("-d,--damaged", options.damagedOnly, "only damaged records");
    app.add_flag("--no-header", noHeader, "text: no column titles");
    app.add_flag("--list", list, "list the entry kinds the decoder knows (identifier, sub-identifier, name)");
    try {
        app.parse(argc, argv);
        for (const std::string& text : ids) {
            std::uint16_t id = 0;
            if (!xob::decoder::parseFunctionId(text, id)) {
                throw CLI::ValidationError("--id", "'" + text + "' is not a function identifier (0x41B or 1051)");
            }
            options.ids.push_back(id);
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    if (list) {
        listCatalogue();
        return 0;
    }
    options.header = !noHeader;

    std::vector<std::uint8_t> data;
    std::FILE* in = file == "-" ? stdin : std::fopen(file.c_str(), "rb");
    if (in == nullptr || !readAll(in, data)) {
        std::fprintf(stderr, "xob-decode: cannot read %s: %s\n", file == "-" ? "standard input" : file.c_str(),
                     std::strerror(errno));
        return 2;
    }
    if (in != stdin) {
        std::fclose(in);
    }

    xob::decoder::RecordPrinter printer(stdout, options);
    xob::decoder::decodeStream(data.data(), data.size(),
                               [&](const xob::decoder::DecodedRecord& record) { printer.print(record); });
    std::fflush(stdout);
    if (printer.damaged() > 0) {
        std::fprintf(stderr, "xob-decode: %zu of %zu records damaged\n", printer.damaged(), printer.records());
        return 1;
    }
    return 0;
}
