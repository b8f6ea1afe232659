// Calls of entry functions together with the fields their records must decode to. Used by the
// round-trip test, and by the fuzzer's corpus generator as a source of real records.
#ifndef XOB_TESTS_DECODER_ROUNDTRIPCASES_H
#define XOB_TESTS_DECODER_ROUNDTRIPCASES_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

namespace xobtest {

// The arguments of one call, by the names of the fields they become.
class Args {
public:
    explicit Args(nlohmann::json values) : m_values(std::move(values)) {}

    long long i(const char* name) const { return m_values.at(name).get<long long>(); }
    unsigned long long u(const char* name) const { return m_values.at(name).get<unsigned long long>(); }
    bool b(const char* name) const { return m_values.at(name).get<bool>(); }
    const char* s(const char* name) const { return m_values.at(name).get_ref<const std::string&>().c_str(); }
    char* w(const char* name) { return &m_values.at(name).get_ref<std::string&>()[0]; }  // for char* parameters
    std::vector<std::uint8_t> bytes(const char* name) const;  // from a hex string
    const nlohmann::json& at(const char* name) const { return m_values.at(name); }
    template <typename E>
    E e(const char* name) const {
        return static_cast<E>(i(name));
    }

private:
    nlohmann::json m_values;
};

struct RoundTripCase {
    const char* entry;  // the entry kind the decoder must name
    // The decoded fields, as xob-decode --json writes them, before the caps: a text may be longer
    // than its field holds. "sub" is the sub-identifier where the call chooses it.
    const char* fields;
    void (*call)(Args& args, int callerTime);  // makes one entry with (true, callerTime)
};

const std::vector<RoundTripCase>& roundTripCases();

}  // namespace xobtest

#endif
