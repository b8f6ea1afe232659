// The catalogue table, made from the library's statements of the entry kinds
// (entries/EntryKinds.def): one row per statement, families and rows ordered by function
// identifier, each identifier's rows in the order of its statements.
#include "Catalogue.h"

#include "channel/RecordHeader.h"
#include "entries/EntryKinds.h"

#include <algorithm>
#include <map>

namespace xob {
namespace decoder {

const char* EnumTable::lookup(std::int64_t value) const {
    for (const Enumerator& e : values) {
        if (e.value == value) {
            return e.name;
        }
    }
    return nullptr;
}

namespace {

struct Catalogue {
    std::vector<Family> families;
    std::vector<EntryKind> kinds;
    std::map<const layout::Names*, EnumTable> enumTables;  // nodes stay where they are

    Catalogue() {
        families.assign(kind::families().begin(), kind::families().end());
        std::stable_sort(families.begin(), families.end(),
                         [](const Family& a, const Family& b) { return a.functionId < b.functionId; });
        for (const layout::Kind* statement : kind::all()) {
            EntryKind row{statement->name,        statement->functionId, statement->key.kind,
                          statement->key.mask,    statement->key.value,  fieldsOf(*statement->payload),
                          {}};
            for (const char* pointer : statement->key.required) {
                if (pointer != nullptr) {
                    row.required.push_back(pointer);
                }
            }
            kinds.push_back(std::move(row));
        }
        std::stable_sort(kinds.begin(), kinds.end(),
                         [](const EntryKind& a, const EntryKind& b) { return a.functionId < b.functionId; });
    }

    std::vector<FieldLayout> fieldsOf(const layout::Layout& statement) {
        std::vector<FieldLayout> fields;
        for (std::size_t i = 0; i < statement.count; ++i) {
            const layout::Field& f = statement[i];
            FieldLayout field;
            field.name = f.name;
            field.type = f.type;
            field.width = f.width;
            field.order = f.order;
            field.size = f.size;
            field.mask = f.mask;
            field.hex = f.hex;
            field.names = f.names != nullptr ? &enumTable(*f.names) : nullptr;
            if (f.items != nullptr) {
                field.items = fieldsOf(*f.items);
            }
            fields.push_back(std::move(field));
        }
        return fields;
    }

    const EnumTable& enumTable(const layout::Names& names) {
        EnumTable& table = enumTables[&names];
        if (table.values.empty()) {
            table.name = names.name;
            table.values.assign(names.values, names.values + names.count);
        }
        return table;
    }
};

const Catalogue& catalogue() {
    static const Catalogue s_catalogue;
    return s_catalogue;
}

bool keyMatches(const EntryKind& kind, const std::uint8_t* payload, std::size_t size) {
    switch (kind.key) {
    case KeyKind::None:
        return true;
    case KeyKind::SubId:
        return size >= 1 && payload[0] == kind.keyValue;
    case KeyKind::AnySubId:
        return size >= 1;
    case KeyKind::Bits:
        if (size < 4) {
            return false;
        }
        return (header::loadLittleEndian(payload, 4) & kind.keyMask) == kind.keyValue;
    }
    return false;
}

}  // namespace

const std::vector<EntryKind>& entryKinds() { return catalogue().kinds; }

const std::vector<Family>& families() { return catalogue().families; }

const Family* findFamily(std::uint16_t functionId) {
    for (const Family& family : families()) {
        if (family.functionId == functionId) {
            return &family;
        }
    }
    return nullptr;
}

const EntryKind* findEntryKind(std::uint16_t functionId, const std::uint8_t* payload,
                               std::size_t size, bool* known) {
    const EntryKind* fallback = nullptr;
    bool seen = false;
    for (const EntryKind& kind : entryKinds()) {
        if (kind.functionId != functionId) {
            continue;
        }
        seen = true;
        if (!keyMatches(kind, payload, size)) {
            continue;
        }
        if (kind.key != KeyKind::AnySubId) {
            if (known != nullptr) {
                *known = true;
            }
            return &kind;
        }
        fallback = &kind;
    }
    if (known != nullptr) {
        *known = seen;
    }
    return fallback;
}

}  // namespace decoder
}  // namespace xob
