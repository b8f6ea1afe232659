// xob-decode: prints the command records of a recording (a file that `xob-recorder --output`
// wrote, or standard input) one line per record, every entry by name and every field by name.
#include "Catalogue.h"
#include "Decoder.h"
#include "Format.h"
#include "Picture.h"
#include "Printer.h"
#include "Stats.h"
#include "Time.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kDescription =
    "Decodes the command records that libxob sends to the recorder device: one line per record with\n"
    "the command, the timestamp, the function identifier, the entry's name and every payload field by\n"
    "name. Reads each FILE in turn (a recording written by `xob-recorder --output FILE`) or, without\n"
    "FILE or with '-', standard input, in chunks: memory stays flat and lines come as records do.";

const char* const kFooter = R"(
Text columns:
  offset   byte offset of the record in the input
  command  InitFiles, LogEntry, SetActivFlag, StopFlush (FlushFilesReady: the device's reply)
  time     timestamp in hundredths of a second (log entries), as the library stamped it
  clock    the elapsed time as h:mm:ss.cc: the timestamp with the clock's wraps counted (it
           wraps after 46:36:12.16; a step back of more than half that is a wrap)
  id       function identifier; sub: sub-identifier, where the entry kind has one
  entry    the entry function's name (GXob::<entry>); --name matches it, or the command's name
           for the other commands (InitFiles, SetActivFlag, StopFlush)
  fields   name=value: texts in double quotes with \" \\ \n \r \t and \xNN escapes, characters in
           single quotes, enumerations by their names where the library defines them, byte
           blocks in hex [00 1A ..], lists as [{...}, {...}]

With several FILEs each line starts with the file's name.

JSON Lines (--json): one object per record with the keys offset, size, command, commandCode,
timestamp, clock, functionId ("0x41B"), sub, entry, fields, undecoded, damage, elapsed,
source and schema (1; docs/xob-jsonl.schema.json); a key without a value is null. Every
enumeration field has a companion <field>Name (null for unnamed values). Texts are Latin-1
on the wire and UTF-8 in JSON; byte blocks are hex strings.

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
  xob-decode --stats car1.xob car2.xob                counts per entry kind, per file and in all
  xob-decode --since 46:00:00 --until 47:00:00 car1.xob
  xob-decode --follow live.xob                        a recording in progress, until Ctrl-C
  xob-decode --html recording.html recording.xob      a timeline to open in a browser
)";

void listCatalogue(bool json) {
    std::string out;
    for (const xob::decoder::EntryKind& kind : xob::decoder::entryKinds()) {
        const std::string sub = kind.key == xob::decoder::KeyKind::SubId     ? std::to_string(kind.keyValue)
                                : kind.key == xob::decoder::KeyKind::AnySubId ? "other"
                                                                              : "-";
        char id[8];
        std::snprintf(id, sizeof id, "0x%03X", kind.functionId);
        if (!json) {
            std::printf("%s  %5s  %s\n", id, sub.c_str(), kind.name);
            continue;
        }
        out = std::string("{\"functionId\":\"") + id + "\",\"sub\":" +
              (sub == "-" ? "null" : sub == "other" ? "\"other\"" : sub) + ",\"entry\":";
        xob::decoder::appendJsonString(out, kind.name, std::strlen(kind.name));
        out += ",\"fields\":[";
        bool first = true;
        for (const xob::decoder::FieldLayout& field : kind.fields) {
            const auto add = [&](const char* name) {
                out += first ? "" : ",";
                first = false;
                xob::decoder::appendJsonString(out, name, std::strlen(name));
            };
            if (field.type == xob::decoder::FieldType::Flags) {
                for (const xob::decoder::FieldLayout& bit : field.items) {
                    add(bit.name);
                }
            } else if (field.type != xob::decoder::FieldType::Gap) {
                add(field.name);
            }
        }
        out += "]}\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
}

volatile std::sig_atomic_t g_stop = 0;

extern "C" void onStopSignal(int) { g_stop = 1; }

constexpr std::size_t kChunk = 1 << 20;

// Decodes one input in chunks, handing each record to the printer as soon as it is complete.
// With `follow`, the end of the file is a pause: reading goes on as the file grows, until SIGINT
// or SIGTERM. False when the input cannot be read.
bool decodeInput(int fd, bool follow, xob::decoder::RecordPrinter& printer) {
    xob::decoder::StreamDecoder stream([&](const xob::decoder::DecodedRecord& record) { printer.print(record); });
    for (;;) {
        const ssize_t got = read(fd, stream.prepare(kChunk), kChunk);
        if (got < 0 && errno == EINTR && g_stop == 0) {
            continue;
        }
        if (got < 0 && g_stop == 0) {
            return false;
        }
        if (got > 0) {
            stream.commit(static_cast<std::size_t>(got));
            printer.flush();
            std::fflush(stdout);
            continue;
        }
        if (!follow || g_stop != 0) {
            break;
        }
        const struct timespec pause = {0, 200 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    stream.finish();
    printer.flush();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kDescription, "xob-decode");
    app.footer(kFooter);
    app.get_formatter()->column_width(28);

    std::vector<std::string> files;
    xob::decoder::PrintOptions options;
    std::vector<std::string> ids;
    std::string since;
    std::string until;
    bool noHeader = false;
    bool list = false;
    bool follow = false;
    bool stats = false;
    std::string html;
    std::string traceEvent;
    app.add_option("FILE", files, "recordings to decode, one after another; '-' or none: standard input");
    app.add_flag("-j,--json", options.json, "one JSON object per record (JSON Lines); with --stats, the counts as JSON");
    app.add_option("-i,--id", ids, "only records with this function identifier, 0x41B or 1051; repeatable")
        ->type_name("ID")
        ->allow_extra_args(false);
    app.add_option("-n,--name", options.patterns,
                   "only entries whose name matches the shell pattern (* ? [...]), e.g. 'Nav_*'; repeatable")
        ->type_name("PATTERN")
        ->allow_extra_args(false);
    app.add_flag("-d,--damaged", options.damagedOnly, "only damaged records");
    app.add_option("--since", since, "only records at or after this elapsed time, h:mm:ss.cc or hundredths")
        ->type_name("TIME");
    app.add_option("--until", until, "only records at or before this elapsed time, h:mm:ss.cc or hundredths")
        ->type_name("TIME");
    app.add_flag("-s,--stats", stats, "no lines: per source and entry kind the count, bytes, first and last time, rate");
    app.add_flag("-f,--follow", follow, "keep reading FILE as it grows (a recording in progress) until interrupted");
    app.add_flag("-q,--quiet", options.quiet, "no lines: only the summary on standard error");
    app.add_option("--html", html, "no lines: write a page that draws the records as a timeline (one file, for any browser)")
        ->type_name("OUT.html");
    app.add_option("--trace-event", traceEvent, "no lines: write the records as Trace Event Format JSON, for trace viewers")
        ->type_name("OUT.json");
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
        for (const std::string& pattern : options.patterns) {
            if (!xob::decoder::validPattern(pattern)) {
                throw CLI::ValidationError("--name", "'" + pattern + "' is not a shell pattern (an unclosed [ or a trailing \\)");
            }
        }
        options.hasSince = !since.empty();
        if (options.hasSince && !xob::decoder::parseTime(since, options.since)) {
            throw CLI::ValidationError("--since", "'" + since + "' is not a time (h:mm:ss.cc or hundredths)");
        }
        options.hasUntil = !until.empty();
        if (options.hasUntil && !xob::decoder::parseTime(until, options.until)) {
            throw CLI::ValidationError("--until", "'" + until + "' is not a time (h:mm:ss.cc or hundredths)");
        }
        if (follow && (files.size() != 1 || files[0] == "-")) {
            throw CLI::ValidationError("--follow", "follows exactly one FILE");
        }
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }
    if (list) {
        listCatalogue(options.json);
        return 0;
    }
    if (files.empty()) {
        files.push_back("-");
    }
    options.header = !noHeader;
    options.showSource = files.size() > 1;
    options.buffered = true;
    const bool summary = options.quiet;  // --quiet: the counts on standard error even without damage
    options.quiet = options.quiet || stats || !html.empty() || !traceEvent.empty();
    if (follow) {
        std::signal(SIGINT, onStopSignal);
        std::signal(SIGTERM, onStopSignal);
    }

    int width = 0;
    for (const std::string& file : files) {
        width = std::max(width, static_cast<int>(file.size()));
    }
    xob::decoder::Stats counts;
    xob::decoder::RecordPrinter printer(stdout, options);
    printer.setStats(&counts);
    xob::decoder::Picture picture;
    if (!picture.open(html, traceEvent, files, printer)) {
        return 2;
    }
    int status = 0;
    for (const std::string& file : files) {
        const bool standardInput = file == "-";
        const int fd = standardInput ? 0 : open(file.c_str(), O_RDONLY);
        const std::size_t recordsBefore = printer.records();
        const std::size_t damagedBefore = printer.damaged();
        printer.beginSource(file, width);
        if (fd < 0 || !decodeInput(fd, follow, printer)) {
            std::fprintf(stderr, "xob-decode: cannot read %s: %s\n", standardInput ? "standard input" : file.c_str(),
                         std::strerror(errno));
            status = 2;
        }
        if (fd > 0) {
            close(fd);
        }
        const std::size_t records = printer.records() - recordsBefore;
        const std::size_t damaged = printer.damaged() - damagedBefore;
        if (files.size() > 1 && (damaged > 0 || summary)) {
            std::fprintf(stderr, "xob-decode: %s: %zu of %zu records damaged\n", file.c_str(), damaged, records);
        }
    }
    printer.flush();
    if (stats) {
        if (options.json) {
            counts.writeJson(stdout);
        } else {
            counts.writeText(stdout);
        }
    }
    std::fflush(stdout);
    if (!picture.finish()) {
        status = 2;
    }
    if (printer.damaged() > 0 || summary) {
        std::fprintf(stderr, "xob-decode: %zu of %zu records damaged\n", printer.damaged(), printer.records());
    }
    return status != 0 ? status : printer.damaged() > 0 ? 1 : 0;
}
