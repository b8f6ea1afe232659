// The golden records of tests/entries/records.golden: per line, an entry call (EntryCalls.cpp), its arguments and the
// whole record the device receives for it (or "none"). Texts written "c*N" stand for N copies of the character c.
#ifndef XOB_TESTS_ENTRIES_GOLDEN_H
#define XOB_TESTS_ENTRIES_GOLDEN_H

#include <nlohmann/json.hpp>

#include "TestKit.h"

#include <regex>

namespace xobtest {

// The caller time of every golden call, so that the header's timestamp is known.
constexpr int kGoldenTime = 0x123456;

struct GoldenCase {
    std::string line;  // for failure messages
    std::string call;
    nlohmann::ordered_json args;  // in the order of the call's parameters
    bool roundTrip = false;  // "<->": decoded, the record gives back the arguments (texts as far as kept)
    bool records = false;    // false: "none", the call records nothing
    std::vector<std::uint8_t> bytes;
};

// Hex digits, spaces between groups for reading; a group XX*N is N bytes XX.
inline std::vector<std::uint8_t> hexBytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(hex);
    for (std::string group; in >> group;) {
        const std::size_t star = group.find('*');
        for (std::size_t i = 0; i + 1 < std::min(star, group.size()); i += 2) {
            bytes.insert(bytes.end(), star == std::string::npos ? 1 : std::stoul(group.substr(star + 1)),
                         static_cast<std::uint8_t>(std::stoul(group.substr(i, 2), nullptr, 16)));
        }
    }
    return bytes;
}

// The cases of the file (none if it cannot be read); a line that does not read gives a case whose call is empty.
inline std::vector<GoldenCase> goldenCases(const char* path) {
    static const std::regex repeat("\"(.)\\*([0-9]+)\"");  // a whole text "c*N"
    std::vector<GoldenCase> cases;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        GoldenCase c;
        c.line = line;
        const std::size_t arrow = line.rfind("-> "), json = line.find(' ');
        if (arrow != std::string::npos && json < arrow) {
            c.roundTrip = line[arrow - 1] == '<';
            std::string args = line.substr(json, arrow - json - (c.roundTrip ? 1 : 0));
            for (std::smatch m; std::regex_search(args, m, repeat);) {
                args.replace(m.position(), m.length(), '"' + std::string(std::stoul(m.str(2)), m.str(1)[0]) + '"');
            }
            c.args = nlohmann::ordered_json::parse(args, nullptr, false);
            c.records = line.substr(arrow + 3) != "none";
            c.bytes = hexBytes(c.records ? line.substr(arrow + 3) : "");
            c.call = c.args.is_discarded() ? "" : line.substr(0, json);
        }
        cases.push_back(c);
    }
    return cases;
}

// Makes the call `name` with `args` and (true, callerTime); false for an unknown call or arguments
// that do not fit its parameters.
bool makeCall(const std::string& name, const nlohmann::ordered_json& args, int callerTime);

}  // namespace xobtest

#endif
