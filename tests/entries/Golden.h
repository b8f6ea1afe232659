// The golden records of tests/entries/records.golden: per line, an entry call (EntryCalls.cpp), its
// arguments and the whole record the device receives for it (or "none"). Texts written "c*N" stand
// for N copies of the character c.
#ifndef XOB_TESTS_ENTRIES_GOLDEN_H
#define XOB_TESTS_ENTRIES_GOLDEN_H

#include <nlohmann/json.hpp>

#include "TestKit.h"

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

inline void expandRepeats(nlohmann::ordered_json& value) {
    if (value.is_structured()) {
        for (auto& item : value) {
            expandRepeats(item);
        }
    } else if (value.is_string()) {
        const std::string text = value.get<std::string>();
        const std::size_t star = text.find('*');
        if (star == 1 && text.size() > 2 && text.find_first_not_of("0123456789", 2) == std::string::npos) {
            value = std::string(std::strtoul(text.c_str() + 2, nullptr, 10), text[0]);
        }
    }
}

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

// The cases of the file (none if it cannot be read); a line that does not read gives a case whose
// call is empty.
inline std::vector<GoldenCase> goldenCases(const char* path) {
    std::vector<GoldenCase> cases;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        GoldenCase c;
        c.line = line;
        const std::size_t arrow = line.rfind("-> ");
        const std::size_t json = line.find(' ');
        if (arrow != std::string::npos && json < arrow) {
            c.roundTrip = line[arrow - 1] == '<';
            c.args = nlohmann::ordered_json::parse(line.substr(json, arrow - json - (c.roundTrip ? 1 : 0)), nullptr, false);
            const std::string record = line.substr(arrow + 3);
            c.records = record != "none";
            c.bytes = c.records ? hexBytes(record) : std::vector<std::uint8_t>{};
            if (!c.args.is_discarded()) {
                c.call = line.substr(0, json);
                expandRepeats(c.args);
            }
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
