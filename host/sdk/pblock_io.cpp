// Parameter blocks in scene files.
#include "host/sdk/iparamb2.h"

#include <cstdint>
#include <string>

#include "host/sdk/classdesc.h"
#include "host/sdk/iosave.h"

namespace tessary::host {

namespace {

// Bytes one entry of a base type takes in a parameter chunk (strings: the
// least, the flag byte and the length).
std::uint32_t EntryBytes(int base) {
  switch (base) {
    case TYPE_RGBA:
      return 12;
    case TYPE_STRING:
      return 5;
    case TYPE_TEXMAP:
      return 0;
    default:
      return 4;
  }
}

IOResult ReadBytes(ILoad* l, void* buf, ULONG n) {
  ULONG got = 0;
  return l->Read(buf, n, &got) == IO_OK && got == n ? IO_OK : IO_ERROR;
}

}  // namespace

IOResult IParamBlock2::Save(ISave* isave) {
  if (!isave || !desc_ || !desc_->GetClassDesc()) return IO_ERROR;
  ClassDesc2* cd = desc_->GetClassDesc();
  bool ok = true;
  isave->BeginChunk(PB_HEADER_CHUNK);
  ok &= WriteU32(isave, cd->SuperClassID()) == IO_OK;
  ok &= WriteU32(isave, cd->ClassID().PartA()) == IO_OK;
  ok &= WriteU32(isave, cd->ClassID().PartB()) == IO_OK;
  ok &= WriteI32(isave, desc_->ID()) == IO_OK;
  ok &= WriteU32(isave, static_cast<std::uint32_t>(params_.size())) == IO_OK;
  isave->EndChunk();
  for (const Param& p : params_) {
    isave->BeginChunk(PB_PARAM_CHUNK);
    ok &= WriteI32(isave, p.def->id) == IO_OK;
    ok &= WriteI32(isave, p.def->type) == IO_OK;
    ok &= WriteI32(isave, p.count) == IO_OK;
    for (const Entry& e : p.entries) {
      switch (BaseType(p.def->type)) {
        case TYPE_FLOAT:
          ok &= WriteF32(isave, e.f) == IO_OK;
          break;
        case TYPE_RGBA:
          ok &= WriteF32(isave, e.c.r) == IO_OK;
          ok &= WriteF32(isave, e.c.g) == IO_OK;
          ok &= WriteF32(isave, e.c.b) == IO_OK;
          break;
        case TYPE_STRING: {
          const std::uint8_t set = e.hasStr ? 1 : 0;
          ok &= isave->Write(&set, 1, nullptr) == IO_OK;
          ok &= WriteU32(isave, static_cast<std::uint32_t>(e.s.size())) == IO_OK;
          if (!e.s.empty()) ok &= isave->Write(e.s.data(), static_cast<ULONG>(e.s.size()), nullptr) == IO_OK;
          break;
        }
        case TYPE_TEXMAP:
          break;  // references
        default:
          ok &= WriteI32(isave, e.i) == IO_OK;
          break;
      }
    }
    isave->EndChunk();
  }
  return ok ? IO_OK : IO_ERROR;
}

IOResult IParamBlock2::Load(ILoad* iload) {
  if (!iload) return IO_ERROR;
  auto fail = [iload](const std::string& what) {
    if (!iload->Failed()) iload->SetErrorMessage("parameter block: " + what);
    return IO_ERROR;
  };
  for (;;) {
    const IOResult open = iload->OpenChunk();
    if (open == IO_END) break;
    if (open != IO_OK) return fail("malformed chunk");
    IOResult res = IO_OK;
    switch (iload->CurChunkID()) {
      case PB_HEADER_CHUNK: {
        std::uint32_t sclass = 0, a = 0, b = 0, count = 0;
        std::int32_t blockId = 0;
        if (ReadU32(iload, sclass) != IO_OK || ReadU32(iload, a) != IO_OK || ReadU32(iload, b) != IO_OK ||
            ReadI32(iload, blockId) != IO_OK || ReadU32(iload, count) != IO_OK) {
          return fail("short header");
        }
        auto* cd = dynamic_cast<ClassDesc2*>(FindClassDesc(sclass, Class_ID(a, b)));
        ParamBlockDesc2* pbd = cd ? cd->GetParamBlockDescByID(static_cast<BlockID>(blockId)) : nullptr;
        if (!pbd || blockId < -32768 || blockId > 32767) {
          return fail("no block " + std::to_string(blockId) + " in class (" + std::to_string(a) + ", " +
                      std::to_string(b) + ")");
        }
        if (desc_ != pbd) {
          // Shrinking to nothing first releases the block's own maps.
          for (Param& p : params_) {
            if (p.def->IsTab()) SetCount(p.def->id, 0);
          }
          Build(pbd);
        }
        break;
      }
      case PB_PARAM_CHUNK:
        if (!desc_) return fail("parameter before the header");
        res = LoadParam(iload);
        if (res != IO_OK) return fail("malformed parameter");
        break;
      default:
        break;
    }
    if (iload->CloseChunk() != IO_OK) return fail("malformed chunk");
  }
  return desc_ ? IO_OK : fail("no header");
}

IOResult IParamBlock2::LoadParam(ILoad* iload) {
  std::int32_t id = 0, type = 0, count = 0;
  if (ReadI32(iload, id) != IO_OK || ReadI32(iload, type) != IO_OK || ReadI32(iload, count) != IO_OK) {
    return IO_ERROR;
  }
  Param* p = id >= -32768 && id <= 32767 ? Find(static_cast<ParamID>(id)) : nullptr;
  if (!p || p->def->type != type) return IO_OK;  // not in this schema: skipped
  const int base = BaseType(type);
  const std::uint32_t payload = iload->CurChunkLength() - 12;
  if (count < 0 || count > kMaxParamTabCount || (!p->def->IsTab() && count != 1) ||
      static_cast<std::uint64_t>(count) * EntryBytes(base) > payload) {
    return IO_ERROR;
  }
  if (p->def->IsTab()) {
    // Quietly: loading is not an edit.
    if (!OwnerHeld(*p->def) && base == TYPE_TEXMAP) {
      for (int k = p->count - 1; k >= count; --k) {
        if (p->entries[static_cast<std::size_t>(k)].ref) ReplaceReference(RefIndexOf(p, k), nullptr);
      }
    }
    if (!OwnerHeld(*p->def)) p->entries.resize(static_cast<std::size_t>(count), DefaultEntry(*p->def));
    p->count = count;
  }
  for (Entry& e : p->entries) {
    switch (base) {
      case TYPE_FLOAT:
        if (ReadF32(iload, e.f) != IO_OK) return IO_ERROR;
        break;
      case TYPE_RGBA:
        if (ReadF32(iload, e.c.r) != IO_OK || ReadF32(iload, e.c.g) != IO_OK || ReadF32(iload, e.c.b) != IO_OK) {
          return IO_ERROR;
        }
        break;
      case TYPE_STRING: {
        std::uint8_t set = 0;
        std::uint32_t len = 0;
        if (ReadBytes(iload, &set, 1) != IO_OK || ReadU32(iload, len) != IO_OK) return IO_ERROR;
        if (len > payload) return IO_ERROR;  // more than the chunk holds
        std::string text(len, '\0');
        if (len > 0 && ReadBytes(iload, text.data(), len) != IO_OK) return IO_ERROR;
        e.hasStr = set != 0;
        e.s = std::move(text);
        break;
      }
      case TYPE_TEXMAP:
        break;
      default: {
        std::int32_t v = 0;
        if (ReadI32(iload, v) != IO_OK) return IO_ERROR;
        e.i = v;
        break;
      }
    }
  }
  return IO_OK;
}

}  // namespace tessary::host
