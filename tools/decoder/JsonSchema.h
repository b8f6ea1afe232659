// The JSON Schema of xob-decode's JSON Lines (docs/xob-jsonl.schema.json), written from the
// catalogue table: the keys of every line, and for every entry kind its fields and their types.
#ifndef XOB_TOOLS_DECODER_JSONSCHEMA_H
#define XOB_TOOLS_DECODER_JSONSCHEMA_H

#include <string>

namespace xob {
namespace decoder {

std::string jsonLinesSchema();

}  // namespace decoder
}  // namespace xob

#endif
