#include "host/pblock_io.h"

#include <vector>

#include "host/classdesc.h"
#include "host/iparamb2.h"

namespace tessary::host {

namespace {

// Bytes one entry of a base type takes in a value chunk (a string: at least
// its length field).
std::uint32_t EntryBytes(int base) {
  switch (base) {
    case TYPE_FLOAT:
    case TYPE_INT:
    case TYPE_BOOL:
    case TYPE_STRING:
      return 4;
    case TYPE_RGBA:
      return 12;
    default:
      return 0;  // texture maps: references, nothing in the chunk
  }
}

IOResult Malformed(ILoad* l, ParamID id, const std::string& what) {
  l->SetErrorMessage("parameter " + std::to_string(id) + " of a parameter block: " + what);
  return IO_ERROR;
}

IOResult LoadEntry(ILoad* l, IParamBlock2& pb, ParamID id, int base, int index) {
  switch (base) {
    case TYPE_FLOAT: {
      float v = 0.0f;
      if (ReadF32(l, v) != IO_OK) return IO_ERROR;
      pb.SetValue(id, 0, v, index);
      return IO_OK;
    }
    case TYPE_INT:
    case TYPE_BOOL: {
      std::int32_t v = 0;
      if (ReadI32(l, v) != IO_OK) return IO_ERROR;
      pb.SetValue(id, 0, static_cast<int>(v), index);
      return IO_OK;
    }
    case TYPE_RGBA: {
      float r = 0.0f, g = 0.0f, b = 0.0f;
      if (ReadF32(l, r) != IO_OK || ReadF32(l, g) != IO_OK || ReadF32(l, b) != IO_OK) return IO_ERROR;
      pb.SetValue(id, 0, Color(r, g, b), index);
      return IO_OK;
    }
    case TYPE_STRING: {
      std::int32_t n = 0;
      if (ReadI32(l, n) != IO_OK) return IO_ERROR;
      if (n < 0) return IO_OK;  // never set: the entry keeps its default
      // The text cannot be longer than what is left of the chunk: a short
      // read below fails before anything is allocated beyond that.
      if (static_cast<ULONG>(n) > l->CurChunkLength()) return IO_ERROR;
      std::string text(static_cast<std::size_t>(n), '\0');
      ULONG got = 0;
      if (n > 0 && l->Read(text.data(), static_cast<ULONG>(n), &got) != IO_OK) return IO_ERROR;
      pb.SetValue(id, 0, text.c_str(), index);
      return IO_OK;
    }
    default:
      return IO_OK;
  }
}

}  // namespace

bool DescribeParamBlock(const IParamBlock2& pb, ParamBlockRecord& rec) {
  const ParamBlockDesc2* desc = pb.GetDesc();
  ClassDesc2* cd = desc ? desc->GetClassDesc() : nullptr;
  if (cd == nullptr) return false;
  rec.ownerSuperClass = cd->SuperClassID();
  rec.ownerClass = cd->ClassID();
  rec.blockID = desc->ID();
  return true;
}

IParamBlock2* CreateParamBlock(const ParamBlockRecord& rec, std::string* error) {
  auto* cd = dynamic_cast<ClassDesc2*>(ClassDirectory::Instance().Find(rec.ownerSuperClass, rec.ownerClass));
  if (cd == nullptr) {
    if (error) *error = "the owner class of a parameter block is unknown";
    return nullptr;
  }
  if (rec.blockID < -32768 || rec.blockID > 32767) {
    if (error) *error = "parameter block ID " + std::to_string(rec.blockID) + " is out of range";
    return nullptr;
  }
  const ParamBlockDesc2* desc = cd->GetParamBlockDescByID(static_cast<BlockID>(rec.blockID));
  if (desc == nullptr) {
    if (error) *error = std::string("class ") + (cd->ClassName() ? cd->ClassName() : "?") +
                        " has no parameter block " + std::to_string(rec.blockID);
    return nullptr;
  }
  return CreateParameterBlock2(desc, nullptr);
}

IOResult SaveParamBlockValues(ISave* s, IParamBlock2& pb) {
  const ParamBlockDesc2* desc = pb.GetDesc();
  for (int k = 0; k < desc->Count(); ++k) {
    const ParamDef* def = desc->GetParamDefByIndex(k);
    const int base = BaseType(def->type);
    const int count = def->IsTab() ? pb.Count(def->id) : 1;
    s->BeginChunk(kParamBlockValueChunk);
    WriteI32(s, def->id);
    WriteI32(s, def->type);
    WriteI32(s, count);
    for (int i = 0; i < count; ++i) {
      switch (base) {
        case TYPE_FLOAT:
          WriteF32(s, pb.GetFloat(def->id, 0, i));
          break;
        case TYPE_INT:
        case TYPE_BOOL:
          WriteI32(s, pb.GetInt(def->id, 0, i));
          break;
        case TYPE_RGBA: {
          const Color c = pb.GetColor(def->id, 0, i);
          WriteF32(s, c.r);
          WriteF32(s, c.g);
          WriteF32(s, c.b);
          break;
        }
        case TYPE_STRING: {
          const char* text = pb.GetStr(def->id, 0, i);
          if (text == nullptr) {
            WriteI32(s, -1);
          } else {
            const std::string str(text);
            WriteI32(s, static_cast<std::int32_t>(str.size()));
            ULONG n = 0;
            if (!str.empty()) s->Write(str.data(), static_cast<ULONG>(str.size()), &n);
          }
          break;
        }
        default:
          break;
      }
    }
    s->EndChunk();
  }
  return IO_OK;
}

IOResult LoadParamBlockValues(ILoad* l, IParamBlock2& pb) {
  IOResult r;
  while ((r = l->OpenChunk()) == IO_OK) {
    if (l->CurChunkID() != kParamBlockValueChunk) {
      l->CloseChunk();
      continue;
    }
    std::int32_t rawID = 0, type = 0, count = 0;
    if (ReadI32(l, rawID) != IO_OK || ReadI32(l, type) != IO_OK || ReadI32(l, count) != IO_OK) {
      return Malformed(l, -1, "value chunk too short");
    }
    const ParamID id = static_cast<ParamID>(rawID);
    const ParamDef* def = rawID >= -32768 && rawID <= 32767 ? pb.GetDesc()->GetParamDef(id) : nullptr;
    if (def == nullptr || def->type != type) {
      l->CloseChunk();  // a parameter this schema does not have (any more)
      continue;
    }
    const int base = BaseType(type);
    const std::uint32_t payload = l->CurChunkLength() - 12;
    if (count < 0 || (!def->IsTab() && count != 1) || count > kMaxParamTabCount ||
        static_cast<std::uint64_t>(count) * EntryBytes(base) > payload) {
      return Malformed(l, id, "entry count " + std::to_string(count) + " does not fit its chunk");
    }
    if (def->IsTab() && !pb.SetCount(id, count)) return Malformed(l, id, "table size refused");
    for (int i = 0; i < count; ++i) {
      if (LoadEntry(l, pb, id, base, i) != IO_OK) return Malformed(l, id, "entry " + std::to_string(i) + " cut short");
    }
    l->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

}  // namespace tessary::host
