// The record-format document (docs/record-format.md), written from the catalogue table: the wire
// format as a short grammar, then one section per entry kind with its identifiers and layout.
#ifndef XOB_TOOLS_DECODER_RECORDFORMAT_H
#define XOB_TOOLS_DECODER_RECORDFORMAT_H

#include <string>

namespace xob {
namespace decoder {

std::string recordFormatDocument();

}  // namespace decoder
}  // namespace xob

#endif
