#pragma once
// Writes binary scene files by hand, byte by byte through the host's chunk
// writer, so tests can make files no current map would write: older layer
// chunks, lying counts, cycles.

#include <cstdint>
#include <string>
#include <vector>

#include "host/runtime/scene_file.h"

namespace tessary::app::testing {

struct TsyObject {
  std::uint32_t sclass = 0xC10;
  std::uint32_t classA = 0;
  std::uint32_t classB = 0;
  std::vector<std::uint8_t> data;  // the object's own chunks, already framed
  std::vector<std::int32_t> refs;  // reference slots: object index or -1
};

// Chunk payload helpers.
class Bytes {
 public:
  Bytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
  Bytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu));
    return *this;
  }
  Bytes& F32(float f) {
    std::uint32_t v = 0;
    static_assert(sizeof v == sizeof f);
    __builtin_memcpy(&v, &f, sizeof v);
    return U32(v);
  }
  Bytes& U8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  std::vector<std::uint8_t> b;
};

// One data chunk: ID, flags 0, length, payload.
inline std::vector<std::uint8_t> DataChunk(std::uint16_t id, const std::vector<std::uint8_t>& payload) {
  Bytes out;
  out.b.push_back(static_cast<std::uint8_t>(id & 0xFF));
  out.b.push_back(static_cast<std::uint8_t>(id >> 8));
  out.b.push_back(0);
  out.b.push_back(0);
  out.U32(static_cast<std::uint32_t>(payload.size()));
  out.b.insert(out.b.end(), payload.begin(), payload.end());
  return out.b;
}

// Container chunk from framed sub-chunks.
inline std::vector<std::uint8_t> Container(std::uint16_t id, const std::vector<std::uint8_t>& inner) {
  std::vector<std::uint8_t> c = DataChunk(id, inner);
  c[2] = 1;
  return c;
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A parameter block of the owner class's block 0, every parameter at its
// default (a schema header and no parameter chunks).
inline TsyObject ParamBlockObject(std::uint32_t ownerSclass, std::uint32_t ownerA, std::uint32_t ownerB) {
  Bytes header;
  header.U32(ownerSclass).U32(ownerA).U32(ownerB).I32(0).U32(0);
  return {0x82, 0x82, 0, DataChunk(0x0001, header.b), {}};
}

// A whole file: header, object table, reference table; object 0 is the root.
inline std::vector<std::uint8_t> TsyFile(const std::vector<TsyObject>& objects) {
  Bytes header;
  for (std::uint8_t m : host::kSceneMagic) header.U8(m);
  header.U32(1).U32(static_cast<std::uint32_t>(objects.size())).I32(0);
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> refs;
  for (const TsyObject& o : objects) {
    Bytes cls;
    cls.U32(o.sclass).U32(o.classA).U32(o.classB);
    const auto data = o.data.empty() ? DataChunk(host::kSceneObjectDataChunk, {})
                                     : Container(host::kSceneObjectDataChunk, o.data);
    const auto obj = Container(host::kSceneObjectChunk, Concat({DataChunk(host::kSceneClassChunk, cls.b), data}));
    table.insert(table.end(), obj.begin(), obj.end());
    Bytes r;
    r.U32(static_cast<std::uint32_t>(o.refs.size()));
    for (std::int32_t i : o.refs) r.I32(i);
    const auto rc = DataChunk(host::kSceneReferencesChunk, r.b);
    refs.insert(refs.end(), rc.begin(), rc.end());
  }
  return Concat({header.b, Container(host::kSceneObjectTableChunk, table),
                 Container(host::kSceneReferenceTableChunk, refs)});
}

}  // namespace tessary::app::testing
