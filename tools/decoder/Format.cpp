#include "Format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace xob {
namespace decoder {

namespace {

using Json = nlohmann::ordered_json;

// Width of the entry column: the longest name a line can carry.
int nameWidth() {
    static const int s_width = [] {
        std::size_t width = std::strlen("FlushFilesReady");
        for (const EntryKind& kind : entryKinds()) {
            width = std::max(width, std::strlen(kind.name));
        }
        return static_cast<int>(width);
    }();
    return s_width;
}

std::string printf1(const char* pattern, unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string hexWord(std::uint64_t value, unsigned width) {
    return printf1(width <= 2 ? "0x%03llX" : "0x%08llX", value);
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += (i == 0 ? "" : separator) + printf1("%02llX", bytes[i]);
    }
    return text;
}

// The enumerator's name for an integer field whose values the library names; null otherwise.
const char* enumeratorName(const Field& field) {
    if (field.layout->names == nullptr) {
        return nullptr;
    }
    const std::int64_t number = field.value.kind == Value::Kind::Signed
                                    ? field.value.s
                                    : static_cast<std::int64_t>(field.value.u);
    return field.layout->names->lookup(number);
}

bool isInteger(const Value& value) {
    return value.kind == Value::Kind::Signed || value.kind == Value::Kind::Unsigned;
}

std::string textValue(const Field& field);

std::string textFields(const std::vector<Field>& fields) {
    std::string text;
    for (const Field& field : fields) {
        if (!text.empty()) {
            text += ' ';
        }
        text += field.layout->name;
        text += '=';
        text += textValue(field);
    }
    return text;
}

std::string textValue(const Field& field) {
    const Value& value = field.value;
    switch (value.kind) {
    case Value::Kind::Signed:
    case Value::Kind::Unsigned: {
        if (const char* name = enumeratorName(field)) {
            return name;
        }
        if (value.kind == Value::Kind::Signed) {
            return std::to_string(value.s);
        }
        return field.layout->hex ? hexWord(value.u, field.layout->width) : std::to_string(value.u);
    }
    case Value::Kind::Bool:
        return value.u != 0 ? "true" : "false";
    case Value::Kind::Char:
        return quote(value.text, '\'');
    case Value::Kind::Text:
        return quote(value.text);
    case Value::Kind::Bytes:
        return "[" + hexBytes(value.bytes, " ") + "]";
    case Value::Kind::List: {
        std::string text = "[";
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            text += (i == 0 ? "{" : ", {") + textFields(value.items[i]) + "}";
        }
        return text + "]";
    }
    }
    return "";
}

Json jsonFields(const std::vector<Field>& fields);

void addJsonField(Json& object, const Field& field) {
    const Value& value = field.value;
    const std::string name = field.layout->name;
    switch (value.kind) {
    case Value::Kind::Signed:
        object[name] = value.s;
        break;
    case Value::Kind::Unsigned:
        object[name] = field.layout->hex ? Json(hexWord(value.u, field.layout->width)) : Json(value.u);
        break;
    case Value::Kind::Bool:
        object[name] = value.u != 0;
        break;
    case Value::Kind::Char:
    case Value::Kind::Text:
        object[name] = latin1ToUtf8(value.text);
        break;
    case Value::Kind::Bytes:
        object[name] = hexBytes(value.bytes, "");
        break;
    case Value::Kind::List: {
        Json items = Json::array();
        for (const std::vector<Field>& item : value.items) {
            items.push_back(jsonFields(item));
        }
        object[name] = items;
        break;
    }
    }
    if (field.layout->names != nullptr && isInteger(value)) {
        const char* enumerator = enumeratorName(field);
        object[name + "Name"] = enumerator != nullptr ? Json(enumerator) : Json(nullptr);
    }
}

Json jsonFields(const std::vector<Field>& fields) {
    Json object = Json::object();
    for (const Field& field : fields) {
        addJsonField(object, field);
    }
    return object;
}

template <typename T>
Json orNull(bool present, T value) {
    return present ? Json(value) : Json(nullptr);
}

}  // namespace

std::string formatClock(std::uint32_t hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu:%02lu:%02lu.%02lu", static_cast<unsigned long>(hundredths / 360000),
                  static_cast<unsigned long>(hundredths / 6000 % 60),
                  static_cast<unsigned long>(hundredths / 100 % 60), static_cast<unsigned long>(hundredths % 100));
    return text;
}

std::string quote(const std::string& raw, char mark) {
    std::string text(1, mark);
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == mark || c == '\\') {
            text += '\\';
            text += c;
            continue;
        }
        switch (c) {
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        default:
            if (byte >= 0x20 && byte < 0x7F) {
                text += c;
            } else {
                text += printf1("\\x%02llX", byte);
            }
        }
    }
    return text + mark;
}

std::string latin1ToUtf8(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string textHeader() {
    char text[256];
    std::snprintf(text, sizeof text, "%8s  %-15s %9s %11s  %-5s %3s  %-*s  %s", "offset", "command", "time",
                  "clock", "id", "sub", nameWidth(), "entry", "fields");
    return text;
}

std::string textLine(const DecodedRecord& record) {
    const char* command = commandName(record.command);
    const std::string commandText =
        command != nullptr ? command : record.command < 0 ? "-" : "cmd" + std::to_string(record.command);
    const std::string time = record.hasTimestamp ? std::to_string(record.timestamp) : "-";
    const std::string clock = record.hasTimestamp ? formatClock(record.timestamp) : "-";
    const std::string id = record.hasFunctionId ? hexWord(record.functionId, 2) : "-";
    const std::string sub = record.sub >= 0 ? std::to_string(record.sub) : "-";
    const char* name = record.kind != nullptr ? record.kind->name : "-";

    char columns[256];
    std::snprintf(columns, sizeof columns, "%8zu  %-15s %9s %11s  %-5s %3s  %-*s", record.offset,
                  commandText.c_str(), time.c_str(), clock.c_str(), id.c_str(), sub.c_str(), nameWidth(), name);
    std::string line = columns;
    std::string fields = textFields(record.fields);
    if (!record.undecoded.empty()) {
        fields += (fields.empty() ? "" : " ") + std::string("undecoded=[") + hexBytes(record.undecoded, " ") + "]";
    }
    if (!fields.empty()) {
        line += "  " + fields;
    }
    if (record.damaged()) {
        line += "  !! ";
        for (std::size_t i = 0; i < record.damage.size(); ++i) {
            line += (i == 0 ? "" : "; ") + record.damage[i];
        }
    }
    return line;
}

Json jsonRecord(const DecodedRecord& record) {
    const char* command = commandName(record.command);
    Json object = Json::object();
    object["offset"] = record.offset;
    object["size"] = record.size;
    object["command"] = command != nullptr ? Json(command) : Json(nullptr);
    object["commandCode"] = orNull(record.command >= 0, record.command);
    object["timestamp"] = orNull(record.hasTimestamp, record.timestamp);
    object["clock"] = orNull(record.hasTimestamp, formatClock(record.timestamp));
    object["functionId"] = orNull(record.hasFunctionId, hexWord(record.functionId, 2));
    object["sub"] = orNull(record.sub >= 0, record.sub);
    object["entry"] = record.kind != nullptr ? Json(record.kind->name) : Json(nullptr);
    object["fields"] = jsonFields(record.fields);
    object["undecoded"] = orNull(!record.undecoded.empty(), hexBytes(record.undecoded, ""));
    object["damage"] = record.damage;
    return object;
}

}  // namespace decoder
}  // namespace xob
