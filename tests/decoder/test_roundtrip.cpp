// The golden records (tests/entries/records.golden) through the decoder: each decodes without
// damage to its call's entry kind, and a "<->" line gives back every argument by field name (texts as
// far as their caps keep them). A catalogue statement that no golden record reaches fails the test,
// so a new statement needs a golden line; an exported entry function that no statement describes
// fails too.
#include "Catalogue.h"
#include "Decoder.h"
#include "DeviceStandIn.h"
#include "Format.h"
#include "Golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace xob::decoder;

// The expected fields: the arguments, with each text cut the way its field's cap cuts it (an absent
// text is recorded empty).
nlohmann::json expectedFields(nlohmann::json args, const EntryKind& kind) {
    for (const FieldLayout& layout : kind.fields) {
        if (layout.type == FieldType::Text && args.contains(layout.name)) {
            const std::string text = args[layout.name].is_null() ? "" : args[layout.name].get<std::string>();
            args[layout.name] = text.substr(0, layout.size - 1u);
        }
    }
    return args;
}

// The decoded fields as xob-decode --json writes them, less the enumerator names.
nlohmann::json decodedFields(const DecodedRecord& record) {
    nlohmann::json fields = nlohmann::json::parse(jsonRecord(record)["fields"].dump());
    for (const Field& field : record.fields) {
        if (field.layout->names != nullptr) {
            fields.erase(std::string(field.layout->name) + "Name");
        }
    }
    return fields;
}

// Runs a shell command with `input` on its standard input; its exit status and standard output.
std::pair<int, std::string> shell(const std::string& command, const std::string& input) {
    const std::string dir = xobtest::makeTempDir();
    const std::string in = dir + "/in";
    const std::string out = dir + "/out";
    std::FILE* file = std::fopen(in.c_str(), "wb");
    std::fwrite(input.data(), 1, input.size(), file);
    std::fclose(file);
    const int status = std::system(("(" + command + ") < " + in + " > " + out).c_str());
    std::string text;
    if (std::FILE* result = std::fopen(out.c_str(), "rb")) {
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, result)) > 0;) {
            text.append(chunk, got);
        }
        std::fclose(result);
    }
    unlink(in.c_str());
    unlink(out.c_str());
    rmdir(dir.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

const std::string kValidate = std::string("/usr/bin/python3 ") + XOBTEST_VALIDATE_JSONL + " " + XOBTEST_JSONL_SCHEMA;

TEST(DecoderRoundTrip, EveryGoldenRecordDecodesToItsCall) {
    std::string stream;  // every record, for the schema check below
    std::set<const EntryKind*> reached;
    std::size_t records = 0;
    for (const xobtest::GoldenCase& c : xobtest::goldenCases(XOBTEST_GOLDEN_RECORDS)) {
        SCOPED_TRACE(c.line);
        ASSERT_FALSE(c.call.empty()) << "a line that does not read";
        if (!c.records) {
            continue;
        }
        const DecodedRecord record = decodeRecord(c.bytes.data(), c.bytes.size());
        std::string line;  // the bulk writer's JSON is the JSON library's, byte for byte
        appendJsonLine(line, record);
        EXPECT_EQ(line, jsonRecord(record).dump() + "\n");
        stream.append(c.bytes.begin(), c.bytes.end());
        ++records;
        if (record.damaged() || record.kind == nullptr) {
            EXPECT_FALSE(c.roundTrip) << textLine(record);
            continue;
        }
        reached.insert(record.kind);
        if (!c.roundTrip) {
            continue;
        }
        EXPECT_EQ(record.timestamp, static_cast<std::uint32_t>(xobtest::kGoldenTime));
        EXPECT_EQ(record.kind->name, c.call);
        nlohmann::json args = c.args;
        if (args.contains("sub")) {
            EXPECT_EQ(record.sub, args["sub"].get<int>());
            args.erase("sub");
        }
        EXPECT_EQ(decodedFields(record), expectedFields(args, *record.kind));
    }
    using xobtest::operator+;
    // Every line xob-decode writes for these records validates against docs/xob-jsonl.schema.json,
    // and so do the lines of control records and of damage.
    const xobtest::Bytes more = xobtest::initFilesRecord(0x418) + xobtest::Bytes{6, 0, 0, 0, 12, 0, 1, 0} +
                                xobtest::Bytes{6, 0, 0, 0, 13, 0, 0, 0} + xobtest::logEntry(0x41B, 1, {19, 2}) +
                                xobtest::logEntry(0x999, 1, {1}) + xobtest::Bytes{0xFF, 0xFF, 1};
    stream.append(more.begin(), more.end());
    const auto valid = shell(std::string(XOBTEST_DECODE_TOOL) + " --json | " + kValidate, stream);
    EXPECT_EQ(valid.first, 0);
    EXPECT_EQ(valid.second, std::to_string(records + 6) + " lines valid\n");
    // The schema holds types: a field of the wrong type fails.
    const std::string wrong = R"({"offset":0,"size":14,"command":"LogEntry","commandCode":8,"timestamp":1,)"
                              R"("clock":"0:00:00.01","functionId":"0x759","sub":2,"entry":"Nav_SWDL_Prepare",)"
                              R"("fields":{"component":"1"},"undecoded":null,"damage":[],"elapsed":1,"source":"-","schema":1})";
    EXPECT_EQ(shell(kValidate + " 2>/dev/null", wrong + "\n").first, 1);
    EXPECT_EQ(shell(kValidate + " 2>/dev/null", R"({"component":1})" "\n").first, 1);
    for (const EntryKind& kind : entryKinds()) {
        char identity[64];
        std::snprintf(identity, sizeof identity, "0x%03X, key 0x%X", kind.functionId, kind.keyValue);
        EXPECT_EQ(reached.count(&kind), 1u) << "no call reaches " << kind.name << " (" << identity << ")";
    }
}

// The exported entry functions are those of the interface lists (tests/exports/*.txt, which the
// test exported_interface holds to the library) that end with the trailing pair (bool, int).
TEST(DecoderCatalogue, EveryExportedEntryFunctionHasAStatement) {
    std::map<std::string, int> exported;  // name -> overloads
    // The lists' paths, joined with ':' by the build (a directory listing fails under qemu-user on
    // 32-bit ARM, whose getdents cannot carry the host's 64-bit offsets).
    std::stringstream paths(XOBTEST_EXPORT_LISTS);
    for (std::string path; std::getline(paths, path, ':');) {
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        const std::string prefix = "GXob::", pair = "bool, int)";
        for (std::string line; std::getline(in, line);) {
            if (line.compare(0, prefix.size(), prefix) == 0 && line.size() > pair.size() &&
                line.compare(line.size() - pair.size(), pair.size(), pair) == 0) {
                ++exported[line.substr(prefix.size(), line.find('(') - prefix.size())];
            }
        }
    }
    ASSERT_FALSE(exported.empty());
    std::map<std::string, int> stated;
    for (const EntryKind& kind : entryKinds()) {
        ++stated[kind.name];
    }
    for (const auto& function : exported) {
        EXPECT_GE(stated[function.first], function.second)
            << "GXob::" << function.first << " is exported, but not every overload has a statement in entries/EntryKinds.def";
    }
}

}  // namespace
