#include "fuzz/tsy_structure.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "host/sdk/iosave.h"
#include "host/runtime/scene_file.h"

namespace tessary::fuzz {

namespace {

using host::GetLE16;
using host::GetLE32;
using host::PutLE32;

// The classes a scene of maps holds (the bitmap is not registered in the
// fuzz target: it stands for a class the reader does not know).
struct KnownClass {
  std::uint32_t sclass, a, b;
};
constexpr KnownClass kLayered{0xC10, 0x9B340D4D, 0xA443AC6A};
constexpr KnownClass kBlock{0x82, 0x82, 0};
constexpr KnownClass kClasses[] = {
    kLayered, kBlock, {0xC10, 0x54530001, 1}, {0xC10, 0x54530002, 1}, {0xC10, 0x54530003, 1},
    {0xC10, 0x54530004, 1}, {0xC10, 0x54530005, 1},
};
// Chunk IDs of the objects' own data: base data, layer data of versions 1
// to 4, a standard map's parameters, a block's header and parameters.
constexpr std::uint16_t kChunkIds[] = {0x4000, 0x4010, 0x4020, 0x4030, 0x4040, 0x5000, 0x0001, 0x0002};
constexpr std::uint16_t kBlockParamChunk = 0x0002;

bool Is(const TsyObject& o, const KnownClass& c) { return o.sclass == c.sclass && o.classA == c.a && o.classB == c.b; }

int Pick(std::mt19937& random, int low, int high) {
  if (high < low) return low;
  return std::uniform_int_distribution<int>(low, high)(random);
}

std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetLE32(p)); }
// n * factor + add, wrapping as the file's 32 bits would.
std::int32_t Wrapped(std::int32_t n, std::uint32_t factor, std::int32_t add) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n) * factor + static_cast<std::uint32_t>(add));
}
void PutI32(std::uint8_t* p, std::int32_t v) { PutLE32(p, static_cast<std::uint32_t>(v)); }

// An object of a kind, or a random one when there is none.
std::int32_t PickOfKind(const TsyStructure& s, std::mt19937& random, const KnownClass& kind) {
  std::vector<std::int32_t> found;
  for (std::size_t i = 0; i < s.objects.size(); ++i) {
    if (Is(s.objects[i], kind)) found.push_back(static_cast<std::int32_t>(i));
  }
  if (found.empty()) return Pick(random, 0, static_cast<int>(s.objects.size()) - 1);
  return found[static_cast<std::size_t>(Pick(random, 0, static_cast<int>(found.size()) - 1))];
}

// What a reference slot may be given: nothing, any object, the object
// itself or the root (cycles), a block or a layered map (often the wrong
// kind for the slot).
std::int32_t PickTarget(const TsyStructure& s, std::mt19937& random, std::int32_t self) {
  switch (Pick(random, 0, 5)) {
    case 0: return -1;
    case 1: return self;
    case 2: return s.root;
    case 3: return PickOfKind(s, random, kBlock);
    case 4: return PickOfKind(s, random, kLayered);
    default: return Pick(random, 0, static_cast<int>(s.objects.size()) - 1);
  }
}

// The layer-data chunk of a layered map's data, or -1.
int LayerChunk(const std::vector<RawChunk>& chunks) {
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const std::uint16_t id = chunks[i].id;
    if (!chunks[i].container && id >= 0x4010 && id <= 0x4040 && id % 0x10 == 0 && chunks[i].payload.size() >= 4) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Runs f over the object's chunks and writes them back (nothing when the
// data is not a chunk stream).
template <class F>
void EditChunks(TsyObject& o, F&& f) {
  std::vector<RawChunk> chunks;
  if (!SplitChunks(o.data, chunks)) return;
  f(chunks);
  o.data = JoinChunks(chunks);
}

void MutateBytes(std::vector<std::uint8_t>& bytes, ByteMutator mutate) {
  const std::size_t size = bytes.size();
  bytes.resize(size * 2 + 64);
  bytes.resize(mutate(bytes.data(), size, bytes.size()));
}

// A layer count that agrees with the references, is off by one, or lies.
void MutateLayerCount(TsyObject& o, std::mt19937& random) {
  EditChunks(o, [&](std::vector<RawChunk>& chunks) {
    const int k = LayerChunk(chunks);
    if (k < 0) return;
    RawChunk& c = chunks[static_cast<std::size_t>(k)];
    const std::int32_t n = GetI32(c.payload.data());
    const std::size_t record = c.id == 0x4010 ? 28 : 32;
    switch (Pick(random, 0, 4)) {
      case 0: {
        const std::int32_t refsN = o.refs.empty() ? 0 : static_cast<std::int32_t>((o.refs.size() - 1) / 2);
        const std::int32_t values[] = {0, 1, Wrapped(n, 1, -1), Wrapped(n, 1, 1), refsN, 65536, 32769, -1, 0x40000000};
        PutI32(c.payload.data(), values[Pick(random, 0, 8)]);
        break;
      }
      case 1:  // one more record, the count following
        c.payload.insert(c.payload.begin() + 4, record, 0);
        PutI32(c.payload.data(), Wrapped(n, 1, 1));
        break;
      case 2:  // one record less
        if (n > 0 && c.payload.size() >= 4 + record) {
          c.payload.erase(c.payload.begin() + 4, c.payload.begin() + 4 + static_cast<std::ptrdiff_t>(record));
          PutI32(c.payload.data(), n - 1);
        }
        break;
      case 3:  // the references follow the count: 2N + 1 slots
        o.refs.resize(static_cast<std::size_t>(std::clamp(n, 0, 64)) * 2 + 1, -1);
        break;
      default:  // another version's chunk ID
        c.id = static_cast<std::uint16_t>(0x4000 + 0x10 * Pick(random, 1, 4));
        break;
    }
  });
}

// A block table's entry count changed; the entries follow where their size
// is fixed.
void MutateBlockCount(TsyObject& o, std::mt19937& random) {
  EditChunks(o, [&](std::vector<RawChunk>& chunks) {
    std::vector<std::size_t> params;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i].id == kBlockParamChunk && !chunks[i].container && chunks[i].payload.size() >= 12) params.push_back(i);
    }
    if (params.empty()) return;
    RawChunk& c = chunks[params[static_cast<std::size_t>(Pick(random, 0, static_cast<int>(params.size()) - 1))]];
    const std::int32_t type = GetI32(c.payload.data() + 4);
    const std::int32_t old = GetI32(c.payload.data() + 8);
    const std::int32_t values[] = {0, 1, 2, Wrapped(old, 1, -1), Wrapped(old, 1, 1), Wrapped(old, 2, 0), 65536, 65537, -1};
    const std::int32_t count = values[Pick(random, 0, 8)];
    PutI32(c.payload.data() + 8, count);
    const int base = type & ~0x800;
    const std::size_t entry = base == 15 ? 0 : base == 2 ? 12 : base == 8 ? 0 : 4;
    if (base != 8 && count >= 0 && count <= 65536) c.payload.resize(12 + entry * static_cast<std::size_t>(count), 0);
  });
}

void RemoveObject(TsyStructure& s, std::int32_t k) {
  const bool countAgreed = s.count == s.objects.size();
  s.objects.erase(s.objects.begin() + k);
  for (TsyObject& o : s.objects) {
    for (std::int32_t& r : o.refs) {
      if (r == k) r = -1;
      else if (r > k) --r;
    }
  }
  if (s.root > k) --s.root;
  if (countAgreed) s.count = static_cast<std::uint32_t>(s.objects.size());
}

}  // namespace

bool SplitChunks(std::span<const std::uint8_t> bytes, std::vector<RawChunk>& out) {
  out.clear();
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < host::kChunkHeaderSize) return false;
    const std::uint8_t* h = bytes.data() + at;
    const std::uint16_t flags = GetLE16(h + 2);
    const std::uint32_t length = GetLE32(h + 4);
    if ((flags & ~host::kChunkContainerFlag) != 0 || length > bytes.size() - at - host::kChunkHeaderSize) return false;
    RawChunk c;
    c.id = GetLE16(h);
    c.container = (flags & host::kChunkContainerFlag) != 0;
    const std::uint8_t* payload = h + host::kChunkHeaderSize;
    c.payload.assign(payload, payload + length);
    out.push_back(std::move(c));
    at += host::kChunkHeaderSize + length;
  }
  return true;
}

std::vector<std::uint8_t> JoinChunks(const std::vector<RawChunk>& chunks) {
  std::vector<std::uint8_t> out;
  for (const RawChunk& c : chunks) {
    const std::vector<std::uint8_t> framed = c.container ? app::testing::Container(c.id, c.payload)
                                                         : app::testing::DataChunk(c.id, c.payload);
    out.insert(out.end(), framed.begin(), framed.end());
  }
  return out;
}

bool ParseTsy(std::span<const std::uint8_t> bytes, TsyStructure& out) {
  if (bytes.size() < host::kSceneHeaderSize ||
      std::memcmp(bytes.data(), host::kSceneMagic, sizeof host::kSceneMagic) != 0) {
    return false;
  }
  out = TsyStructure{};
  out.version = GetLE32(bytes.data() + 8);
  out.count = GetLE32(bytes.data() + 12);
  out.root = GetI32(bytes.data() + 16);
  std::vector<RawChunk> top;
  if (!SplitChunks(bytes.subspan(host::kSceneHeaderSize), top)) return false;
  std::vector<std::vector<std::int32_t>> refs;
  for (const RawChunk& table : top) {
    std::vector<RawChunk> entries;
    if (!table.container || !SplitChunks(table.payload, entries)) return false;
    for (const RawChunk& e : entries) {
      if (table.id == host::kSceneObjectTableChunk && e.id == host::kSceneObjectChunk) {
        std::vector<RawChunk> parts;
        if (!e.container || !SplitChunks(e.payload, parts)) return false;
        TsyObject o;
        bool haveClass = false;
        for (const RawChunk& p : parts) {
          if (p.id == host::kSceneClassChunk && p.payload.size() == 12) {
            o.sclass = GetLE32(p.payload.data());
            o.classA = GetLE32(p.payload.data() + 4);
            o.classB = GetLE32(p.payload.data() + 8);
            haveClass = true;
          } else if (p.id == host::kSceneObjectDataChunk) {
            if (!p.container && !p.payload.empty()) return false;
            o.data = p.payload;
          }
        }
        if (!haveClass) return false;
        out.objects.push_back(std::move(o));
      } else if (table.id == host::kSceneReferenceTableChunk && e.id == host::kSceneReferencesChunk) {
        if (e.payload.size() < 4 || (e.payload.size() - 4) / 4 != GetLE32(e.payload.data()) ||
            e.payload.size() % 4 != 0) {
          return false;
        }
        std::vector<std::int32_t> list;
        for (std::size_t at = 4; at < e.payload.size(); at += 4) list.push_back(GetI32(e.payload.data() + at));
        refs.push_back(std::move(list));
      }
    }
  }
  if (out.objects.empty() || refs.size() != out.objects.size()) return false;
  for (std::size_t i = 0; i < refs.size(); ++i) out.objects[i].refs = std::move(refs[i]);
  return true;
}

std::vector<std::uint8_t> WriteTsy(const TsyStructure& s) {
  std::vector<std::uint8_t> bytes = app::testing::TsyFile(s.objects);
  PutLE32(bytes.data() + 8, s.version);
  PutLE32(bytes.data() + 12, s.count);
  PutI32(bytes.data() + 16, s.root);
  return bytes;
}

void MutateStructure(TsyStructure& s, std::mt19937& random, ByteMutator bytes) {
  if (s.objects.empty()) return;
  const int last = static_cast<int>(s.objects.size()) - 1;
  const std::int32_t k = Pick(random, 0, last);
  TsyObject& o = s.objects[static_cast<std::size_t>(k)];
  switch (Pick(random, 0, 11)) {
    case 0:
    case 1: {  // one slot given something else
      if (o.refs.empty()) o.refs.push_back(-1);
      const int slot = Pick(random, 0, static_cast<int>(o.refs.size()) - 1);
      o.refs[static_cast<std::size_t>(slot)] = PickTarget(s, random, k);
      break;
    }
    case 2:  // a longer or shorter reference list
      if (Pick(random, 0, 1) == 0 || o.refs.empty()) {
        for (int n = Pick(random, 1, 3); n > 0; --n) o.refs.push_back(PickTarget(s, random, k));
      } else {
        o.refs.resize(static_cast<std::size_t>(Pick(random, 0, static_cast<int>(o.refs.size()) - 1)));
      }
      break;
    case 3: {  // another class
      const KnownClass& c = kClasses[Pick(random, 0, static_cast<int>(std::size(kClasses)) - 1)];
      o.sclass = c.sclass;
      o.classA = c.a;
      o.classB = c.b;
      break;
    }
    case 4: {  // a copy, referenced from some slot (a shared or a second object)
      const bool countAgreed = s.count == s.objects.size();
      s.objects.push_back(o);
      const std::int32_t copy = last + 1;
      TsyObject& from = s.objects[static_cast<std::size_t>(Pick(random, 0, last))];
      if (from.refs.empty() || Pick(random, 0, 1) == 0) {
        from.refs.push_back(copy);
      } else {
        from.refs[static_cast<std::size_t>(Pick(random, 0, static_cast<int>(from.refs.size()) - 1))] = copy;
      }
      if (countAgreed) s.count = static_cast<std::uint32_t>(s.objects.size());
      break;
    }
    case 5:
      if (k != s.root) RemoveObject(s, k);
      break;
    case 6:  // data of another object
      std::swap(o.data, s.objects[static_cast<std::size_t>(Pick(random, 0, last))].data);
      break;
    case 7:  // bytes of one chunk (or of the whole data)
      if (!o.data.empty() && Pick(random, 0, 3) == 0) {
        MutateBytes(o.data, bytes);
      } else {
        EditChunks(o, [&](std::vector<RawChunk>& chunks) {
          if (chunks.empty()) return;
          RawChunk& c = chunks[static_cast<std::size_t>(Pick(random, 0, static_cast<int>(chunks.size()) - 1))];
          if (!c.container) MutateBytes(c.payload, bytes);
        });
      }
      break;
    case 8:  // chunks dropped, repeated, renamed
      EditChunks(o, [&](std::vector<RawChunk>& chunks) {
        if (chunks.empty()) return;
        const auto at = static_cast<std::size_t>(Pick(random, 0, static_cast<int>(chunks.size()) - 1));
        switch (Pick(random, 0, 2)) {
          case 0: chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(at)); break;
          case 1: chunks.push_back(chunks[at]); break;
          default: chunks[at].id = kChunkIds[Pick(random, 0, static_cast<int>(std::size(kChunkIds)) - 1)]; break;
        }
      });
      break;
    case 9:
      MutateLayerCount(s.objects[static_cast<std::size_t>(PickOfKind(s, random, kLayered))], random);
      break;
    case 10:
      MutateBlockCount(s.objects[static_cast<std::size_t>(PickOfKind(s, random, kBlock))], random);
      break;
    default:  // the header
      switch (Pick(random, 0, 2)) {
        case 0: s.root = Pick(random, -1, last + 1); break;
        case 1: s.count = static_cast<std::uint32_t>(static_cast<int>(s.objects.size()) + Pick(random, -1, 1)); break;
        default: s.version = static_cast<std::uint32_t>(Pick(random, 0, 2)); break;
      }
      break;
  }
}

}  // namespace tessary::fuzz
