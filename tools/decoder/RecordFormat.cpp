#include "RecordFormat.h"

#include "Catalogue.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <vector>

namespace xob {
namespace decoder {

namespace {

const char* const kGrammar = R"(```
stream     = { record } ;
record     = length:u16le  reserved:u16le  command:u8  spare:u8  word:u16le  body ;
             (* length: the record's bytes after the length field, 6 to 2054;
                reserved: 0; spare: not assigned by any sender *)
body       = initFiles | logEntry | setActivFlag | stopFlush | flushFilesReady ;
initFiles       = filesOf:u16le ;           (* command 4, word 0x503, length 8 *)
logEntry        = timestamp:u32le payload ; (* command 8, word: function identifier,
                                               length 10 + payload bytes *)
setActivFlag    = ;                         (* command 12, word: 1 on, 0 off, length 6 *)
stopFlush       = ;                         (* command 13, word: 0, length 6 *)
flushFilesReady = ;                         (* command 10, the device's reply: word 0 ready,
                                               length 6 *)
timestamp  = hundredths of a second of the monotonic clock, modulo 2^24 (bits 24 to 31 are 0) ;
payload    = [ sub:u8 ] { field } ;         (* at most 2044 bytes *)
field      = integer | text | bytes | list | flags | gap ;
integer    = u8 | s8 | (u16 | s16 | u32 | s32 | u64 | s64) (le | be) ;
             (* le: least significant byte first; be: most significant byte first *)
text       = { byte - 0x00 } 0x00 ;         (* at most cap bytes, the terminator included *)
list       = count:u8 { item } ;            (* count items, count <= the list's cap *)
flags      = u8 ;                           (* bit i set: the i-th named flag is true *)
gap        = { byte } ;                     (* bytes no sender assigns; written as 0 *)
```)";

std::string hex(unsigned value, const char* pattern = "0x%03X") {
    char text[16];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string integerType(const FieldLayout& f) {
    std::string type = (f.type == FieldType::Signed ? "s" : "u") + std::to_string(8 * f.width);
    if (f.width > 1) {
        type += f.order == ByteOrder::Big ? " be" : " le";
    }
    if (f.mask != 0) {
        type += ", value = bits & " + hex(static_cast<unsigned>(f.mask), "0x%08X");
    }
    if (f.hex) {
        type += ", shown in hex";
    }
    if (f.names != nullptr) {
        type += std::string(", values named by `") + f.names->name + "`";
    }
    return type;
}

std::string typeOf(const FieldLayout& f) {
    switch (f.type) {
    case FieldType::Unsigned:
    case FieldType::Signed: return integerType(f);
    case FieldType::Bool: return "bool: u8, 0 or 1";
    case FieldType::Char: return "char: one byte";
    case FieldType::Text: return "text, cap " + std::to_string(f.size);
    case FieldType::Bytes: return std::to_string(f.size) + " bytes";
    case FieldType::ByteRest: return "bytes: the rest of the payload, at most " + std::to_string(f.size);
    case FieldType::Gap: return std::to_string(f.size) + " bytes, not assigned";
    case FieldType::Flags: {
        std::string type = "flags: u8;";
        for (std::size_t bit = 0; bit < f.items.size(); ++bit) {
            type += std::string(bit == 0 ? "" : ",") + " bit " + std::to_string(bit) + " `" + f.items[bit].name + "`";
        }
        return type;
    }
    case FieldType::List:
        return "list: u8 count (at most " + std::to_string(f.size) + "), then count items laid out below";
    }
    return "";
}

// Bytes a field occupies when that does not depend on the record; 0 for texts, lists and rests.
std::size_t fixedSize(const FieldLayout& f) {
    switch (f.type) {
    case FieldType::Unsigned:
    case FieldType::Signed: return f.width;
    case FieldType::Bool:
    case FieldType::Char:
    case FieldType::Flags: return 1;
    case FieldType::Bytes:
    case FieldType::Gap: return f.size;
    default: return 0;
    }
}

// An offset as a constant plus the sizes len(f) of the variable fields before it.
struct Offset {
    std::size_t constant = 0;
    std::vector<std::string> terms;

    std::string str() const {
        std::string text = constant != 0 || terms.empty() ? std::to_string(constant) : "";
        for (const std::string& term : terms) {
            text += (text.empty() ? "len(" : " + len(") + term + ")";
        }
        return text;
    }
    void advance(const FieldLayout& f) {
        const std::size_t size = fixedSize(f);
        if (size != 0) {
            constant += size;
        } else {
            terms.push_back(f.name);
        }
    }
};

std::string fieldName(const FieldLayout& f) {
    return f.type == FieldType::Gap ? "(gap)" : f.type == FieldType::Flags ? "(flags)" : std::string("`") + f.name + "`";
}

// A table of fields with their offsets; returns the offset after the last field.
Offset layoutTable(std::ostringstream& out, const std::vector<FieldLayout>& fields, bool subId,
                   const char* offsetTitle) {
    out << "| " << offsetTitle << " | Field | Type |\n|---|---|---|\n";
    Offset at;
    if (subId) {
        out << "| 0 | (sub-identifier) | u8 |\n";
        at.constant = 1;
    }
    for (const FieldLayout& f : fields) {
        out << "| " << at.str() << " | " << fieldName(f) << " | " << typeOf(f) << " |\n";
        at.advance(f);
    }
    if (fields.empty() && at.constant == 0) {
        out << "| — | (none) | |\n";
    }
    return at;
}

std::string keyText(const EntryKind& kind) {
    switch (kind.key) {
    case KeyKind::None: return "no sub-identifier";
    case KeyKind::SubId: return "sub-identifier " + std::to_string(kind.keyValue);
    case KeyKind::AnySubId: return "any sub-identifier that no other entry kind of this identifier has";
    case KeyKind::Bits:
        return "no sub-identifier; told apart by the u32 le at payload offset 0: bits & " +
               hex(kind.keyMask, "0x%08X") + " = " + hex(kind.keyValue, "0x%08X");
    }
    return "";
}

std::string subColumn(const EntryKind& kind) {
    switch (kind.key) {
    case KeyKind::SubId: return std::to_string(kind.keyValue);
    case KeyKind::AnySubId: return "other";
    default: return "—";
    }
}

void entrySection(std::ostringstream& out, const EntryKind& kind) {
    const Family* family = findFamily(kind.functionId);
    out << "\n### " << kind.name << " — " << hex(kind.functionId);
    if (kind.key == KeyKind::SubId) {
        out << ", sub-identifier " << kind.keyValue;
    } else if (kind.key == KeyKind::AnySubId) {
        out << ", other sub-identifiers";
    }
    out << "\n\nFunction identifier " << hex(kind.functionId) << " (" << family->title << "), "
        << keyText(kind) << ".\n\n";
    const Offset end = layoutTable(out, kind.fields, kind.hasSubId(), "Payload offset");
    out << "\nPayload length: " << end.str() << " bytes.\n";
    if (!kind.required.empty()) {
        out << "\nNothing is recorded when ";
        for (std::size_t i = 0; i < kind.required.size(); ++i) {
            out << (i == 0 ? "" : " or ") << "`" << kind.required[i] << "`";
        }
        out << " is a null pointer.\n";
    }
    for (const FieldLayout& f : kind.fields) {
        if (f.type == FieldType::List) {
            out << "\nEach item of `" << f.name << "`:\n\n";
            const Offset item = layoutTable(out, f.items, false, "Item offset");
            out << "\nItem size: " << item.str() << " bytes.\n";
        }
    }
}

void collectNames(const std::vector<FieldLayout>& fields, std::vector<const EnumTable*>& tables) {
    for (const FieldLayout& f : fields) {
        if (f.names != nullptr && std::find(tables.begin(), tables.end(), f.names) == tables.end()) {
            tables.push_back(f.names);
        }
        collectNames(f.items, tables);
    }
}

}  // namespace

std::string recordFormatDocument() {
    std::ostringstream out;
    out << "# Record format\n\n"
           "<!-- Written by xob-record-format from the statements of the entry kinds "
           "(entries/EntryKinds.def); the build checks that this copy is current. "
           "Change the statements, not this file. -->\n\n"
           "What the recorder device receives from libxob, byte by byte, and what `xob-decode` reads "
           "back. Everything below comes from the one statement of each entry kind that the entry functions "
           "are checked against and that drives the decoder.\n\n"
           "## Grammar\n\n"
        << kGrammar
        << "\n\nIn the layouts below, len(f) is the number of bytes field f occupies: for a text its "
           "length plus the terminator, for a list 1 + count × item size, for a rest of bytes their "
           "count. A text longer than its cap is recorded as its first cap − 1 characters and the "
           "terminator; an absent text (a null pointer) as the empty text, unless its entry kind records "
           "nothing without it.\n\n"
           "## Entry kinds\n\n"
           "| Identifier | Sub | Entry | Family |\n|---|---|---|---|\n";
    for (const EntryKind& kind : entryKinds()) {
        out << "| " << hex(kind.functionId) << " | " << subColumn(kind) << " | `" << kind.name << "` | "
            << findFamily(kind.functionId)->title << " |\n";
    }
    out << "\nA log entry whose identifier is not in this table, or whose sub-identifier its "
           "identifier does not have, is reported as damaged by `xob-decode`, with its payload in hex.\n";
    for (const EntryKind& kind : entryKinds()) {
        entrySection(out, kind);
    }
    std::vector<const EnumTable*> tables;
    for (const EntryKind& kind : entryKinds()) {
        collectNames(kind.fields, tables);
    }
    out << "\n## Named values\n\nThe decoder shows these names for the values the library defines; "
           "other values are shown as numbers.\n";
    for (const EnumTable* table : tables) {
        out << "\n`" << table->name << "`: ";
        for (std::size_t i = 0; i < table->values.size(); ++i) {
            out << (i == 0 ? "" : ", ") << table->values[i].value << " `" << table->values[i].name << "`";
        }
        out << "\n";
    }
    return out.str();
}

}  // namespace decoder
}  // namespace xob
