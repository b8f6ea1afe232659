#include "JsonSchema.h"

#include "Catalogue.h"
#include "Decoder.h"
#include "Format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>

namespace xob {
namespace decoder {

namespace {

using Json = nlohmann::ordered_json;

Json nullable(Json schema) {
    schema["type"] = Json::array({schema["type"], "null"});
    return schema;
}

Json hexPattern(const std::string& repeat) { return {{"type", "string"}, {"pattern", "^([0-9A-F]{2})" + repeat + "$"}}; }

// Adds the keys one field gives the "fields" object (a Flags byte gives one per bit) to
// `properties` and `names`.
void addField(const FieldLayout& layout, Json& properties, Json& names) {
    Json schema;
    switch (layout.type) {
    case FieldType::Gap:
        return;
    case FieldType::Flags:
        for (const FieldLayout& bit : layout.items) {
            addField(bit, properties, names);
        }
        return;
    case FieldType::Unsigned:
        schema = layout.hex ? Json{{"type", "string"}, {"pattern", "^0x[0-9A-F]+$"}}
                            : Json{{"type", "integer"}, {"minimum", 0}};
        break;
    case FieldType::Signed:
        schema = {{"type", "integer"}};
        break;
    case FieldType::Bool:
        schema = {{"type", "boolean"}};
        break;
    case FieldType::Char:
        schema = {{"type", "string"}, {"maxLength", 1}};
        break;
    case FieldType::Text:
        schema = {{"type", "string"}, {"maxLength", layout.size - 1}};
        break;
    case FieldType::Bytes:
        schema = hexPattern("{" + std::to_string(layout.size) + "}");
        break;
    case FieldType::ByteRest:
        schema = hexPattern("{0," + std::to_string(layout.size) + "}");
        break;
    case FieldType::List: {
        Json itemProperties = Json::object();
        Json itemNames = Json::array();
        for (const FieldLayout& item : layout.items) {
            addField(item, itemProperties, itemNames);
        }
        schema = {{"type", "array"},
                  {"maxItems", layout.size},
                  {"items",
                   {{"type", "object"},
                    {"properties", itemProperties},
                    {"required", itemNames},
                    {"additionalProperties", false}}}};
        break;
    }
    }
    if (layout.names != nullptr) {
        schema["description"] = std::string("values named by ") + layout.names->name;
    }
    properties[layout.name] = schema;
    names.push_back(layout.name);
    if (layout.names != nullptr) {
        Json enumerators = Json::array();
        for (const Enumerator& e : layout.names->values) {
            enumerators.push_back(e.name);
        }
        enumerators.push_back(nullptr);
        const std::string companion = std::string(layout.name) + "Name";
        properties[companion] = {{"enum", enumerators}};
        names.push_back(companion);
    }
}

// The "fields" of a record that `condition` picks: all of them, typed, when the record is
// well-formed; of a damaged record, only that no other name appears.
Json fieldsRule(const Json& condition, const std::string& definition, const Json& names) {
    Json required = Json::array();
    for (const auto& key : condition.items()) {
        required.push_back(key.key());
    }
    return {{"if", {{"properties", condition}, {"required", required}}},
            {"then",
             {{"if", {{"properties", {{"damage", {{"maxItems", 0}}}}}}},
              {"then", {{"properties", {{"fields", {{"$ref", "#/definitions/" + definition}}}}}}},
              {"else", {{"properties", {{"fields", {{"propertyNames", {{"enum", names}}}}}}}}}}}};
}

Json fieldsDefinition(const Json& properties, const Json& names) {
    return {{"type", "object"}, {"properties", properties}, {"required", names}, {"additionalProperties", false}};
}

}  // namespace

std::string jsonLinesSchema() {
    Json entries = Json::array();
    Json rules = Json::array();
    Json definitions = Json::object();
    for (const EntryKind& kind : entryKinds()) {
        Json properties = Json::object();
        Json names = Json::array();
        for (const FieldLayout& layout : kind.fields) {
            addField(layout, properties, names);
        }
        // A name that several rows of an identifier share is told apart by the sub-identifier.
        Json condition = {{"entry", {{"const", kind.name}}}};
        std::string definition = kind.name;
        Json claimed = Json::array();
        bool shared = false;
        for (const EntryKind& other : entryKinds()) {
            if (&other != &kind && other.functionId == kind.functionId && std::string(other.name) == kind.name) {
                shared = true;
                if (other.key == KeyKind::SubId) {
                    claimed.push_back(other.keyValue);
                }
            }
        }
        if (shared && kind.key == KeyKind::SubId) {
            condition["sub"] = {{"const", kind.keyValue}};
            definition += "." + std::to_string(kind.keyValue);
        } else if (shared && kind.key == KeyKind::AnySubId) {
            condition["sub"] = {{"not", {{"enum", claimed}}}};
            definition += ".other";
        }
        if (std::find(entries.begin(), entries.end(), Json(kind.name)) == entries.end()) {
            entries.push_back(kind.name);
        }
        definitions[definition] = fieldsDefinition(properties, names);
        rules.push_back(fieldsRule(condition, definition, names));
    }
    entries.push_back(nullptr);
    // The other commands show one header word each.
    const std::pair<const char*, Json> words[] = {
        {"InitFiles", {{"filesOf", {{"type", "string"}, {"pattern", "^0x[0-9A-F]+$"}}}}},
        {"FlushFilesReady", {{"status", {{"type", "integer"}, {"minimum", 0}}}}},
        {"SetActivFlag", {{"flag", {{"type", "integer"}, {"minimum", 0}}}}},
        {"StopFlush", {{"value", {{"type", "integer"}, {"minimum", 0}}}}},
    };
    Json commands = Json::array();
    for (const auto& word : words) {
        const Json names = Json::array({word.second.begin().key()});
        definitions[word.first] = fieldsDefinition(word.second, names);
        rules.push_back(fieldsRule({{"command", {{"const", word.first}}}}, word.first, names));
        commands.push_back(word.first);
    }
    commands.push_back("LogEntry");
    commands.push_back(nullptr);

    const Json nullableInteger = nullable({{"type", "integer"}, {"minimum", 0}});
    Json schema = {
        {"$schema", "http://json-schema.org/draft-07/schema#"},
        {"$id", "xob-jsonl.schema.json"},
        {"title", "xob-decode --json: one command record per line"},
        {"description",
         "Written from the decoder's catalogue by xob-record-format --jsonl-schema; do not edit. A key without a value is "
         "null. Texts are UTF-8 (recorded as Latin-1), byte blocks hex strings, identifiers \"0x41B\"."},
        {"type", "object"},
        {"properties",
         {{"offset", {{"type", "integer"}, {"minimum", 0}}},
          {"size", {{"type", "integer"}, {"minimum", 1}}},
          {"command", {{"enum", commands}}},
          {"commandCode", nullable({{"type", "integer"}, {"minimum", 0}, {"maximum", 255}})},
          {"timestamp", nullableInteger},
          {"clock", nullable({{"type", "string"}, {"pattern", "^[0-9]+:[0-5][0-9]:[0-5][0-9]\\.[0-9]{2}$"}})},
          {"functionId", nullable({{"type", "string"}, {"pattern", "^0x[0-9A-F]{3,4}$"}})},
          {"sub", nullable({{"type", "integer"}, {"minimum", 0}, {"maximum", 255}})},
          {"entry", {{"enum", entries}}},
          {"fields", {{"type", "object"}}},
          {"undecoded", nullable(hexPattern("+"))},
          {"damage", {{"type", "array"}, {"items", {{"type", "string"}}}}},
          {"elapsed", nullableInteger},
          {"source", {{"type", "string"}}},
          {"schema", {{"const", kJsonSchemaVersion}}}}},
        {"additionalProperties", false},
        {"allOf", rules},
        {"definitions", definitions}};
    Json required = Json::array();
    for (const auto& property : schema["properties"].items()) {
        required.push_back(property.key());
    }
    schema["required"] = required;
    return schema.dump(2) + "\n";
}

}  // namespace decoder
}  // namespace xob
