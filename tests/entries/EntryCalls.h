// The entry functions by name, each called with arguments named like the fields they become: the
// calls of the golden records (records.golden).
#ifndef XOB_TESTS_ENTRIES_ENTRYCALLS_H
#define XOB_TESTS_ENTRIES_ENTRYCALLS_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace xobtest {

// The arguments of one call. A null text, byte block or list is an absent pointer.
class Args {
public:
    explicit Args(nlohmann::json values) : m_values(std::move(values)) {}

    bool has(const char* name) const { return m_values.contains(name); }
    bool absent(const char* name) const { return m_values.at(name).is_null(); }
    long long i(const char* name) const { return m_values.at(name).get<long long>(); }
    unsigned long long u(const char* name) const { return m_values.at(name).get<unsigned long long>(); }
    bool b(const char* name) const { return m_values.at(name).get<bool>(); }
    char* s(const char* name);  // for char* and const char* parameters
    unsigned char* bytes(const char* name);  // from a hex string, exactly as many bytes
    int count(const char* name) const;  // "count" if given, else the size of the block or list `name`
    const nlohmann::json& at(const char* name) const { return m_values.at(name); }
    const nlohmann::json& all() const { return m_values; }
    template <typename E>
    E e(const char* name) const {
        return static_cast<E>(i(name));
    }

private:
    nlohmann::json m_values;
    std::map<std::string, std::unique_ptr<unsigned char[]>> m_bytes;
};

using EntryCall = void (*)(Args& args, int callerTime);  // makes one entry with (true, callerTime)

const std::map<std::string, EntryCall>& entryCalls();

}  // namespace xobtest

#endif
