// Saving and loading the map's chunks: the exact bytes written, the four
// versions read, the conversion of the oldest, and malformed layer data.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/iosave.h"
#include "host/iparamb2.h"
#include "tests/map/map_fixture.h"

namespace tessary::testing {
namespace {

using namespace host;

// Little-endian bytes, built by hand.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& U8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& U16(std::uint16_t v) { return U8(static_cast<std::uint8_t>(v & 0xFF)).U8(static_cast<std::uint8_t>(v >> 8)); }
  Bytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  Bytes& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
  Bytes& F32(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return U32(u);
  }
  Bytes& Add(const Bytes& other) {
    b.insert(b.end(), other.b.begin(), other.b.end());
    return *this;
  }
  // A chunk: ID, flags (1 = container), payload length, payload.
  static Bytes Chunk(std::uint16_t id, const Bytes& payload, bool container = false) {
    Bytes c;
    c.U16(id).U16(container ? 1 : 0).U32(static_cast<std::uint32_t>(payload.b.size())).Add(payload);
    return c;
  }
};

struct LayerValues {
  int used;
  float opacity;
  float r, g, b;
  int mapOn;
  int mode;
  int maskOn;
};

// Layer data of a version: N, the records, and the version's tail.
Bytes LayerChunk(int version, const std::vector<LayerValues>& layers, std::int32_t count) {
  Bytes p;
  p.I32(count);
  for (const LayerValues& l : layers) {
    p.I32(l.used).F32(l.opacity).F32(l.r).F32(l.g).F32(l.b).I32(l.mapOn).I32(l.mode);
    if (version >= 2) p.I32(l.maskOn);
  }
  if (version == 3) p.F32(12).F32(0.25f).F32(-0.5f).F32(0);
  if (version == 4) {
    p.U8(1).U8(1).U8(1).F32(0.125f).F32(1.5f).F32(0.75f).F32(2.2f);
    p.F32(30).F32(0.1f).F32(0.2f).F32(0).F32(0.3f).F32(-0.4f).F32(0.5f).F32(0);
  }
  return Bytes::Chunk(static_cast<std::uint16_t>(0x4000 + 0x10 * version), p);
}

Bytes LayerChunk(int version, const std::vector<LayerValues>& layers) {
  return LayerChunk(version, layers, static_cast<std::int32_t>(layers.size()));
}

const std::vector<LayerValues> kTwoLayers = {{1, 100.0f, 0.5f, 0.25f, 0.125f, 1, 0, 1},
                                             {0, 62.5f, 1.0f, 0.0f, 0.75f, 0, 19, 0}};

class PersistenceTest : public MapTest {
 protected:
  IOResult LoadInto(Quilbo* target, const Bytes& bytes, std::string* error = nullptr) {
    MemoryLoad load(bytes.b);
    const IOResult r = target->Load(&load);
    if (error) *error = load.GetErrorMessage();
    load.RunPostLoadCallbacks();
    return r;
  }
  std::vector<std::uint8_t> Saved(Quilbo* source) {
    MemorySave save;
    EXPECT_EQ(source->Save(&save), IO_OK);
    EXPECT_EQ(save.Status(), IO_OK);
    EXPECT_EQ(save.Depth(), 0);
    return save.Bytes();
  }
};

TEST_F(PersistenceTest, SaveWritesTheBaseChunkThenVersionFourByteForByte) {
  map->SetName("Q");
  map->SetGBufID(3);
  map->SetNumLayers(2);
  map->layerUsed[1] = 0;
  map->opacity[1] = 62.5f;
  map->layerColor[0] = Color(0.5f, 0.25f, 0.125f);
  map->layerColor[1] = Color(1.0f, 0.0f, 0.75f);
  map->mapOn[1] = 0;
  map->blendMode[1] = 19;
  map->maskOn[1] = 0;
  map->outputOn = true;
  map->clampOn = true;
  map->monoOn = true;
  map->alphaShift = 0.125f;
  map->brightness = 1.5f;
  map->contrast = 0.75f;
  map->gamma = 2.2f;
  map->hsvShift = AColor(30, 0.1f, 0.2f, 0);
  map->rgbShift = AColor(0.3f, -0.4f, 0.5f, 0);

  Bytes name;
  name.U8('Q').U8(0);
  Bytes gbuf;
  gbuf.I32(3);
  Bytes base;
  base.Add(Bytes::Chunk(0x0100, name)).Add(Bytes::Chunk(0x0110, gbuf));
  Bytes expected;
  expected.Add(Bytes::Chunk(0x4000, base, true)).Add(LayerChunk(4, kTwoLayers));
  const std::vector<std::uint8_t> saved = Saved(map);
  ASSERT_EQ(saved.size(), 8 + 22 + 8 + 55 + 32 * 2u);
  EXPECT_EQ(saved, expected.b);
}

TEST_F(PersistenceTest, VersionFourRoundTripsBitForBit) {
  MakeLayers(3);
  map->layerColor[2] = Color(0.1f, 0.7f, 1e-30f);
  map->blendMode[2] = 33;
  map->maskOn[1] = 0;
  map->monoOn = true;
  map->clampOn = true;
  map->gamma = 0.001f;
  map->rgbShift = AColor(-1e7f, 3.0f, 0.0f, 0.0f);
  const std::vector<std::uint8_t> first = Saved(map);

  auto* copy = new Quilbo();
  Observer holder(copy);
  Bytes bytes;
  bytes.b = first;
  ASSERT_EQ(LoadInto(copy, bytes), IO_OK);
  EXPECT_EQ(Saved(copy), first);
  EXPECT_TRUE(copy->monoOn);
  EXPECT_TRUE(copy->clampOn);
  EXPECT_EQ(copy->gamma, 0.001f);
  EXPECT_EQ(copy->layerColor[2], Color(0.1f, 0.7f, 1e-30f));
  // The sub-maps are references, not part of the chunk.
  EXPECT_EQ(copy->LayerCount(), 3);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(copy->GetSubTexmap(i), nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_STREQ(copy->pblock->GetStr(params::kEditIds, 0, i), std::to_string(i).c_str());
}

TEST_F(PersistenceTest, EveryVersionLoadsItsFields) {
  struct Case {
    int version;
    bool hsvRead;     // version 3 and 4
    bool outputRead;  // version 4
    int mask1;        // layer 1's mask flag after loading
  };
  const Case cases[] = {{2, false, false, 0}, {3, true, false, 0}, {4, true, true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    observer.reset();
    map = new Quilbo();
    observer = std::make_unique<Observer>(map);
    map->hsvShift = AColor(9, 9, 9, 0);  // replaced by zero (v2) or the file
    const int before = macroRecorder->RecordCount();
    ASSERT_EQ(LoadInto(map, LayerChunk(c.version, kTwoLayers)), IO_OK);
    EXPECT_EQ(macroRecorder->RecordCount(), before);
    EXPECT_EQ(map->LoadedLayerDataVersion(), c.version);
    ASSERT_EQ(map->LayerCount(), 2);
    EXPECT_EQ(map->layerUsed[1], 0);
    EXPECT_EQ(map->opacity[1], 62.5f);
    EXPECT_EQ(map->layerColor[0], Color(0.5f, 0.25f, 0.125f));
    EXPECT_EQ(map->mapOn[1], 0);
    EXPECT_EQ(map->blendMode[1], 19);
    EXPECT_EQ(map->maskOn[1], c.mask1);
    EXPECT_EQ(map->hsvShift, c.hsvRead ? (c.version == 3 ? AColor(12, 0.25f, -0.5f, 0) : AColor(30, 0.1f, 0.2f, 0))
                                       : AColor(0, 0, 0, 0));
    EXPECT_EQ(map->outputOn, c.outputRead);
    EXPECT_EQ(map->monoOn, c.outputRead);
    EXPECT_EQ(map->gamma, c.outputRead ? 2.2f : 1.0f);
    EXPECT_EQ(map->brightness, c.outputRead ? 1.5f : 1.0f);
    EXPECT_EQ(map->rgbShift, c.outputRead ? AColor(0.3f, -0.4f, 0.5f, 0) : AColor(0, 0, 0, 0));
    // The block mirrors what was loaded.
    EXPECT_EQ(Block().Count(params::kMapList), 2);  // not touched by loading
    EXPECT_EQ(Block().Count(params::kModeList), 2);
    EXPECT_EQ(Block().GetInt(params::kModeList, 0, 1), 19);
    EXPECT_EQ(Block().GetFloat(params::kOpasityList, 0, 1), 62.5f);
    EXPECT_EQ(Block().GetColor(params::kColorList, 0, 1), Color(1.0f, 0.0f, 0.75f));
    EXPECT_EQ(Block().GetInt(params::kMapUsed, 0, 1), 0);
    EXPECT_STREQ(Block().GetStr(params::kEditIds, 0, 1), "1");
  }
}

// Version 1: one sub-map per layer, restored by the host into entry k;
// after the callbacks they sit at entry 2k and the old mode numbers of the
// layers above the base are renumbered.
TEST_F(PersistenceTest, VersionOneIsConvertedAfterTheLoad) {
  const std::vector<LayerValues> layers = {{1, 100, 0, 0, 0, 1, 16, 0},
                                           {1, 50, 0, 0, 0, 1, 15, 0},
                                           {1, 25, 0, 0, 0, 1, 16, 0}};
  auto* a = new ConstMap("A", &log);
  auto* b = new ConstMap("B", &log);
  auto* c = new ConstMap("C", &log);
  Bytes bytes = LayerChunk(1, layers);
  MemoryLoad load(bytes.b);
  ASSERT_EQ(map->Load(&load), IO_OK);
  EXPECT_EQ(load.PendingPostLoadCallbacks(), 1u);
  // The host restores reference k + 1 for layer k.
  map->ReplaceReference(1, a);
  map->ReplaceReference(2, b);
  map->ReplaceReference(3, c);
  load.RunPostLoadCallbacks();
  EXPECT_EQ(Layout(), "A - B - C -");
  EXPECT_EQ(map->GetReference(3), b);
  EXPECT_EQ(map->GetReference(5), c);
  EXPECT_EQ(map->blendMode[0], 16);  // the base keeps its stored mode
  EXPECT_EQ(map->blendMode[1], 17);  // Burn
  EXPECT_EQ(map->blendMode[2], 26);  // Reflect
  EXPECT_EQ(Block().GetInt(params::kModeList, 0, 2), 16);  // the block keeps the stored value
  for (int i = 0; i < 3; ++i) EXPECT_EQ(map->maskOn[i], 1) << i;
  EXPECT_EQ(map->hsvShift, AColor(0, 0, 0, 0));
  // Released later through their new reference numbers, each once.
  log.clear();
  map->SetNumLayers(1);
  EXPECT_EQ(log, (Log{"~B", "~C"}));
}

TEST_F(PersistenceTest, VersionOneModeTable) {
  struct Case {
    int stored;
    int now;
  };
  const Case cases[] = {{14, 14}, {15, 17}, {16, 26}, {17, 20}, {18, 21}, {19, 22},
                        {20, 23}, {21, 24}, {22, 25}, {23, 23}, {0, 0},   {33, 33}};
  std::vector<LayerValues> layers = {{1, 100, 0, 0, 0, 1, 15, 0}};
  for (const Case& c : cases) layers.push_back({1, 100, 0, 0, 0, 1, c.stored, 0});
  ASSERT_EQ(LoadInto(map, LayerChunk(1, layers)), IO_OK);
  EXPECT_EQ(map->blendMode[0], 15);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(map->blendMode[static_cast<int>(i) + 1], cases[i].now) << "stored " << cases[i].stored;
  }
}

// Two version-1 chunks in one stream convert once; a newer chunk after a
// version-1 chunk leaves nothing to convert.
TEST_F(PersistenceTest, VersionOneConversionRunsOnceAndOnlyForVersionOneData) {
  const std::vector<LayerValues> layers = {{1, 100, 0, 0, 0, 1, 0, 0}, {1, 100, 0, 0, 0, 1, 15, 0}};
  Bytes twice;
  twice.Add(LayerChunk(1, layers)).Add(LayerChunk(1, layers));
  ASSERT_EQ(LoadInto(map, twice), IO_OK);
  EXPECT_EQ(map->blendMode[1], 17);  // not 17 -> 20

  Bytes thenNewer;
  thenNewer.Add(LayerChunk(1, layers)).Add(LayerChunk(4, layers));
  ASSERT_EQ(LoadInto(map, thenNewer), IO_OK);
  EXPECT_EQ(map->blendMode[1], 15);
}

// A sub-map that a version-1 file restores at entry N or above has no layer
// to go to: it is released, not moved outside the table.
TEST_F(PersistenceTest, VersionOneSubMapOutsideTheLayersIsReleased) {
  const std::vector<LayerValues> layers = {{1, 100, 0, 0, 0, 1, 0, 0}, {1, 100, 0, 0, 0, 1, 0, 0}};
  Bytes bytes = LayerChunk(1, layers);
  MemoryLoad load(bytes.b);
  ASSERT_EQ(map->Load(&load), IO_OK);
  map->ReplaceReference(2, new ConstMap("B", &log));
  map->ReplaceReference(3, new ConstMap("X", &log));  // entry 2 >= N
  map->ReplaceReference(4, new ConstMap("Y", &log));  // entry 3 >= N
  log.clear();
  load.RunPostLoadCallbacks();
  EXPECT_EQ(log, (Log{"~Y", "~X"}));
  EXPECT_EQ(Layout(), "- - B -");
  EXPECT_EQ(map->NumRefs(), 5);
}

TEST_F(PersistenceTest, MapDestroyedBeforeItsConversionRuns) {
  Bytes bytes = LayerChunk(1, {{1, 100, 0, 0, 0, 1, 15, 0}, {1, 100, 0, 0, 0, 1, 15, 0}});
  MemoryLoad load(bytes.b);
  auto* doomed = new Quilbo();
  ASSERT_EQ(doomed->Load(&load), IO_OK);
  doomed->DeleteThis();
  load.RunPostLoadCallbacks();  // must not touch the deleted map
  EXPECT_EQ(load.PendingPostLoadCallbacks(), 0u);
}

TEST_F(PersistenceTest, UnknownChunksAreSkipped) {
  Bytes odd;
  odd.U8('x').U8('y').U8('z');
  Bytes nested;
  nested.Add(Bytes::Chunk(0x0001, odd));
  Bytes stream;
  stream.Add(Bytes::Chunk(0x1234, odd)).Add(LayerChunk(2, kTwoLayers)).Add(Bytes::Chunk(0x4050, nested, true));
  ASSERT_EQ(LoadInto(map, stream), IO_OK);
  EXPECT_EQ(map->LayerCount(), 2);
  EXPECT_EQ(map->blendMode[1], 19);
}

TEST_F(PersistenceTest, EmptyStackSavesFiftyFiveBytes) {
  ASSERT_EQ(LoadInto(map, LayerChunk(4, {})), IO_OK);
  EXPECT_EQ(map->LayerCount(), 0);
  EXPECT_EQ(map->opacity.Count(), 0);
  EXPECT_EQ(Block().Count(params::kEditIds), 0);
  EXPECT_EQ(Block().Count(params::kOpasityList), 0);
  const std::vector<std::uint8_t> saved = Saved(map);
  // The base chunk (empty name, G-buffer ID) and then the layer chunk.
  ASSERT_EQ(saved.size(), 8 + 8 + 1 + 8 + 4 + 8 + 55u);
  EXPECT_EQ(GetLE16(&saved[29]), 0x4040);
  EXPECT_EQ(GetLE32(&saved[33]), 55u);
  // An empty stack evaluates to its early result, which is not cached.
  ShadeContext sc;
  EXPECT_EQ(map->EvalColor(sc), AColor(0, 0, 0, 1));
  EXPECT_EQ(sc.CacheStores(), 0u);
}

TEST_F(PersistenceTest, MalformedLayerDataFailsAndChangesNothing) {
  struct Case {
    const char* what;
    Bytes chunk;
  };
  Bytes tooShort;
  tooShort.U8(1).U8(0);
  const Case cases[] = {
      {"negative count", LayerChunk(4, {}, -1)},
      {"v3 count one too large", LayerChunk(3, kTwoLayers, 3)},
      {"v2 count one too large", LayerChunk(2, kTwoLayers, 3)},
      {"v1 count one too large", LayerChunk(1, kTwoLayers, 3)},
      {"huge count", LayerChunk(4, kTwoLayers, 0x7FFFFFFF)},
      {"most negative count", LayerChunk(2, {}, INT32_MIN)},
      {"no room for the count", Bytes::Chunk(0x4040, tooShort)},
  };
  MakeLayers(3);
  map->gamma = 1.25f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(LoadInto(map, c.chunk, &error), IO_ERROR);
    EXPECT_NE(error.find("Tessary layer data"), std::string::npos) << error;
    EXPECT_EQ(Layout(), "A a B b C c");
    EXPECT_EQ(map->opacity.Count(), 3);
    EXPECT_EQ(map->opacity[2], 30.0f);
    EXPECT_EQ(map->gamma, 1.25f);
    EXPECT_EQ(Block().Count(params::kEditIds), 3);
  }
}

TEST_F(PersistenceTest, ShortOutputBlockKeepsTheFieldsItDoesNotReach) {
  // Two records and the 51-byte output block, but a count of 3: the third
  // record fits the chunk and takes 32 of the block's bytes; the 19 left
  // fill the flags and the four factors, and the two shifts keep their
  // values.
  MakeLayers(1);
  map->hsvShift = AColor(0.25f, 0.25f, 0.25f, 0);
  map->rgbShift = AColor(0.5f, 0.5f, 0.5f, 0);
  ASSERT_EQ(LoadInto(map, LayerChunk(4, kTwoLayers, 3)), IO_OK);
  EXPECT_EQ(map->LayerCount(), 3);
  EXPECT_EQ(map->hsvShift, AColor(0.25f, 0.25f, 0.25f, 0));
  EXPECT_EQ(map->rgbShift, AColor(0.5f, 0.5f, 0.5f, 0));
}

}  // namespace
}  // namespace tessary::testing
