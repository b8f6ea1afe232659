// The golden records (tests/entries/records.golden) through the decoder: each decodes without damage to its call's
// entry kind, and a "<->" line gives back every argument by field name (texts as far as their caps keep them). A
// catalogue statement that no golden record reaches fails the test, so a new statement needs a golden line; an exported
// entry function that no statement describes fails too.
#include "Catalogue.h"
#include "Decoder.h"
#include "Format.h"
#include "Golden.h"
#include "TestKit.h"

#include <regex>
#include <set>

using namespace xob::decoder;

TEST(DecoderRoundTrip, EveryGoldenRecordDecodesToItsCall) {
    std::set<const EntryKind*> reached;
    for (const xobtest::GoldenCase& c : xobtest::goldenCases(XOBTEST_GOLDEN_RECORDS)) {
        SCOPED_TRACE(c.line);
        ASSERT_FALSE(c.call.empty()) << "a line that does not read";
        if (!c.records) continue;
        const DecodedRecord record = decodeRecord(c.bytes.data(), c.bytes.size());
        std::string line;  // the bulk writer's JSON is the JSON library's, byte for byte
        appendJsonLine(line, record);
        EXPECT_EQ(line, jsonRecord(record).dump() + "\n");
        if (record.damaged() || record.kind == nullptr) {
            EXPECT_FALSE(c.roundTrip) << textLine(record);
            continue;
        }
        reached.insert(record.kind);
        if (!c.roundTrip) continue;
        EXPECT_EQ(record.timestamp, static_cast<std::uint32_t>(xobtest::kGoldenTime));
        EXPECT_EQ(record.kind->name, c.call);
        nlohmann::json args = nlohmann::json::parse(c.args.dump());
        if (args.contains("sub")) {
            EXPECT_EQ(record.sub, args["sub"].get<int>());
            args.erase("sub");
        }
        // Expected: the arguments, each text cut the way its field's cap cuts it (an absent text is
        // recorded empty). Decoded: the fields as xob-decode --json writes them, less the enumerator names.
        nlohmann::json fields = nlohmann::json::parse(jsonRecord(record)["fields"].dump());
        for (const Field& field : record.fields) {
            if (field.layout->names != nullptr) fields.erase(std::string(field.layout->name) + "Name");
        }
        for (const FieldLayout& layout : record.kind->fields) {
            if (layout.type == FieldType::Text && args.contains(layout.name)) {
                const std::string text = args[layout.name].is_null() ? "" : args[layout.name].get<std::string>();
                args[layout.name] = text.substr(0, layout.size - 1u);
            }
        }
        EXPECT_EQ(fields, args);
    }
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
        const std::regex entryFunction(R"(GXob::(\w+)\(.*bool, int\))");
        std::smatch function;
        for (std::string line; std::getline(in, line);) {
            if (std::regex_match(line, function, entryFunction)) ++exported[function[1].str()];
        }
    }
    ASSERT_FALSE(exported.empty());
    std::map<std::string, int> stated;
    for (const EntryKind& kind : entryKinds()) ++stated[kind.name];
    for (const auto& function : exported) {
        EXPECT_GE(stated[function.first], function.second)
            << "GXob::" << function.first << " is exported, but not every overload has a statement in entries/EntryKinds.def";
    }
}
