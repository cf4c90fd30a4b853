// The base class's own chunks of materials and maps.
#include "host/sdk/mtl.h"

#include <cstdint>
#include <string>

#include "host/sdk/iosave.h"

namespace tessary::host {

IOResult MtlBase::Save(ISave* isave) {
  if (!isave) return IO_ERROR;
  isave->BeginChunk(MTLBASE_NAME_CHUNK);
  const IOResult nameRes = isave->WriteCString(name_.c_str());
  isave->EndChunk();
  isave->BeginChunk(MTLBASE_GBUFID_CHUNK);
  const IOResult idRes = WriteI32(isave, static_cast<std::int32_t>(gbufID_));
  isave->EndChunk();
  return nameRes == IO_OK && idRes == IO_OK ? IO_OK : IO_ERROR;
}

IOResult MtlBase::Load(ILoad* iload) {
  if (!iload) return IO_ERROR;
  IOResult res = IO_OK;
  for (;;) {
    const IOResult open = iload->OpenChunk();
    if (open == IO_END) break;
    if (open != IO_OK) return IO_ERROR;
    switch (iload->CurChunkID()) {
      case MTLBASE_NAME_CHUNK: {
        char* text = nullptr;
        if (iload->ReadCStringChunk(&text) == IO_OK && text) {
          name_ = text;
        } else {
          res = IO_ERROR;
        }
        break;
      }
      case MTLBASE_GBUFID_CHUNK: {
        std::int32_t id = 0;
        if (ReadI32(iload, id) == IO_OK) {
          gbufID_ = id;
        } else {
          res = IO_ERROR;
        }
        break;
      }
      default:
        break;  // a chunk of a later version: skipped
    }
    if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    if (res != IO_OK) return res;
  }
  return res;
}

}  // namespace tessary::host
