#pragma once
// Saving and loading parameter blocks in scene files.
//
// A block cannot be made from its class ID alone: it needs its schema,
// which belongs to the class descriptor of its owner's class. The scene
// file therefore stores, with every block, a creation record (the owner
// class's identity and the block ID) and the block's values; the block's
// own texture maps travel as its references, and owner-held map tables as
// the owner's references. docs/file-format.md gives the byte layout.

#include <cstdint>
#include <string>

#include "host/iosave.h"
#include "host/maxtypes.h"

namespace tessary::host {

class IParamBlock2;

// Which schema a block was made from.
struct ParamBlockRecord {
  SClass_ID ownerSuperClass = 0;
  Class_ID ownerClass;
  std::int32_t blockID = 0;
};

inline constexpr std::uint16_t kParamBlockValueChunk = 0x0010;

// The record of pb; false when its schema has no class descriptor.
bool DescribeParamBlock(const IParamBlock2& pb, ParamBlockRecord& rec);

// A new block, without owner, with the schema the record names (found
// through the class directory); null with a message in *error when the
// class, its descriptor or the block ID is unknown.
IParamBlock2* CreateParamBlock(const ParamBlockRecord& rec, std::string* error);

// Writes every parameter's value as one chunk, in schema order.
IOResult SaveParamBlockValues(ISave* s, IParamBlock2& pb);

// Reads the value chunks back into pb at time 0. A parameter the schema no
// longer has, or whose type changed, is skipped. IO_ERROR (with a message
// set on the loader) for a malformed chunk: an entry count that the chunk
// cannot hold, or a single value with a count other than 1.
IOResult LoadParamBlockValues(ILoad* l, IParamBlock2& pb);

}  // namespace tessary::host
