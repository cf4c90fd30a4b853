// The standard maps as host objects: made through the class directory, their
// parameters survive a scene file bit for bit, they evaluate at the shading
// context's UV, and bad parameter chunks fail the load with a message.

#include "host/runtime/stdmap_classes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "host/sdk/iosave.h"
#include "host/runtime/scene_file.h"
#include "host/sdk/shade_context.h"
#include "host/runtime/class_directory.h"

namespace tessary::host {
namespace {

class StdMapClasses : public ::testing::Test {
 protected:
  void SetUp() override { added_ = RegisterStandardMaps(ClassDirectory::Instance()); }
  void TearDown() override {
    if (added_ == 0) return;
    for (ClassDesc2* cd : {GetConstantTexDesc(), GetCheckerTexDesc(), GetGradientTexDesc(), GetNoiseTexDesc()})
      ClassDirectory::Instance().Unregister(cd);
  }
  int added_ = 0;
};

template <class T>
T* Make(Class_ID id) {
  Animatable* a = ClassDirectory::Instance().Create(TEXMAP_CLASS_ID, id);
  EXPECT_NE(a, nullptr);
  return dynamic_cast<T*>(a);
}

// Saves m alone and loads it back through the scene file.
template <class T>
T* RoundTrip(T* m, std::string* error) {
  std::vector<std::uint8_t> bytes;
  if (WriteScene(m, bytes, error) != IO_OK) return nullptr;
  return dynamic_cast<T*>(ReadScene(bytes, error));
}

bool SameBits(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

TEST_F(StdMapClasses, ParametersSurviveASceneFileBitForBit) {
  EXPECT_EQ(added_, 4);
  std::string err;

  auto* c = Make<ConstantTex>(CONSTANT_TEX_CLASS_ID);
  c->params.color = AColor(NAN, -0.0f, 1e-40f, 3.5f);
  c->params.perturb = Point3(0.25f, -INFINITY, 7.0f);
  c->SetName("flat");
  auto* c2 = RoundTrip(c, &err);
  ASSERT_NE(c2, nullptr) << err;
  EXPECT_TRUE(SameBits(&c2->params, &c->params, sizeof c->params));
  EXPECT_EQ(c2->GetName(), "flat");

  auto* k = Make<CheckerTex>(CHECKER_TEX_CLASS_ID);
  k->params.checksU = 3.0f;
  k->params.checksV = 0.5f;
  k->params.color2 = AColor(0.1f, 0.2f, 0.3f, 0.4f);
  auto* k2 = RoundTrip(k, &err);
  ASSERT_NE(k2, nullptr) << err;
  EXPECT_TRUE(SameBits(&k2->params, &k->params, sizeof k->params));

  auto* g = Make<GradientTex>(GRADIENT_TEX_CLASS_ID);
  g->params.kind = GradientKind::Radial;
  g->params.center = 0.3f;
  auto* g2 = RoundTrip(g, &err);
  ASSERT_NE(g2, nullptr) << err;
  EXPECT_TRUE(SameBits(&g2->params, &g->params, sizeof g->params));

  auto* n = Make<NoiseTex>(NOISE_TEX_CLASS_ID);
  n->params.kind = NoiseKind::Turbulence;
  n->params.octaves = 7;
  n->params.seed = 0xDEADBEEFu;
  n->params.size = 0.03125f;
  auto* n2 = RoundTrip(n, &err);
  ASSERT_NE(n2, nullptr) << err;
  EXPECT_TRUE(SameBits(&n2->params, &n->params, sizeof n->params));

  for (Texmap* m : std::initializer_list<Texmap*>{c, c2, k, k2, g, g2, n, n2}) m->DeleteThis();
}

TEST_F(StdMapClasses, EvaluateAtTheShadingContextsUV) {
  auto* k = Make<CheckerTex>(CHECKER_TEX_CLASS_ID);
  auto* g = Make<GradientTex>(GRADIENT_TEX_CLASS_ID);
  auto* n = Make<NoiseTex>(NOISE_TEX_CLASS_ID);
  auto* c = Make<ConstantTex>(CONSTANT_TEX_CLASS_ID);
  c->params.perturb = Point3(1, 2, 3);
  ShadeContext sc;
  for (const Point3 uv : {Point3(0.1f, 0.2f, 0), Point3(0.7f, 0.9f, 0), Point3(-3.3f, 12.5f, 0)}) {
    sc.MoveTo(uv);
    EXPECT_EQ(k->EvalColor(sc), EvalChecker(k->params, uv.x, uv.y));
    EXPECT_EQ(g->EvalColor(sc), EvalGradient(g->params, uv.x, uv.y));
    EXPECT_EQ(n->EvalColor(sc), EvalNoise(n->params, uv.x, uv.y));
    const Point3 slope = SlopePerturb([&](float u, float v) { return EvalNoise(n->params, u, v); }, uv.x, uv.y);
    const Point3 got = n->EvalNormalPerturb(sc);
    EXPECT_TRUE(SameBits(&got, &slope, sizeof got));
    const Point3 flat = c->EvalNormalPerturb(sc);
    EXPECT_TRUE(flat.x == 1 && flat.y == 2 && flat.z == 3);
  }
  for (Texmap* m : std::initializer_list<Texmap*>{k, g, n, c}) m->DeleteThis();
}

// A scene file of one map whose own data is `chunk`.
std::vector<std::uint8_t> OneMapFile(Class_ID id, std::uint16_t chunkId, const std::vector<std::uint8_t>& payload) {
  auto* probe = dynamic_cast<Texmap*>(ClassDirectory::Instance().Create(TEXMAP_CLASS_ID, id));
  probe->SetName("x");
  std::vector<std::uint8_t> bytes;
  std::string err;
  WriteScene(probe, bytes, &err);
  probe->DeleteThis();
  // Replace the parameter chunk (the file's last object data) with the given one.
  MemorySave s;
  s.WriteRaw(bytes.data(), kSceneHeaderSize);
  s.BeginChunk(kSceneObjectTableChunk);
  s.BeginChunk(kSceneObjectChunk);
  s.BeginChunk(kSceneClassChunk);
  WriteU32(&s, TEXMAP_CLASS_ID);
  WriteU32(&s, id.PartA());
  WriteU32(&s, id.PartB());
  s.EndChunk();
  s.BeginChunk(kSceneObjectDataChunk);
  s.BeginChunk(chunkId);
  s.Write(payload.data(), static_cast<ULONG>(payload.size()), nullptr);
  s.EndChunk();
  s.EndChunk();
  s.EndChunk();
  s.EndChunk();
  s.BeginChunk(kSceneReferenceTableChunk);
  s.BeginChunk(kSceneReferencesChunk);
  WriteU32(&s, 0);
  s.EndChunk();
  s.EndChunk();
  return s.Bytes();
}

std::vector<std::uint8_t> Le(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((w >> (8 * i)) & 0xFFu));
  return out;
}

TEST_F(StdMapClasses, BadParameterChunksFailTheLoadWithAMessage) {
  const std::uint32_t one = std::bit_cast<std::uint32_t>(1.0f);
  const std::uint32_t quarter = std::bit_cast<std::uint32_t>(0.25f);
  const std::uint32_t zero = 0;
  const struct {
    const char* label;
    Class_ID id;
    std::vector<std::uint8_t> payload;
    const char* message;
  } cases[] = {
      {"short constant", CONSTANT_TEX_CLASS_ID, Le({one, one}), "parameter chunk of 8 bytes, expected 28"},
      {"gradient kind", GRADIENT_TEX_CLASS_ID, Le({0, 0, 0, one, 0, 0, 0, one, 0, 0, 0, one, quarter, 5}),
       "gradient kind 5"},
      {"noise octaves", NOISE_TEX_CLASS_ID, Le({0, 0, 0, one, one, one, one, one, quarter, 11, 0, 0}),
       "octaves 11 outside 1..10"},
      {"noise size", NOISE_TEX_CLASS_ID, Le({0, 0, 0, one, one, one, one, one, zero, 3, 0, 0}),
       "size must be greater than 0"},
      {"noise kind", NOISE_TEX_CLASS_ID, Le({0, 0, 0, one, one, one, one, one, quarter, 3, 3, 0}),
       "noise kind 3"},
  };
  for (const auto& c : cases) {
    std::string err;
    ReferenceTarget* loaded = ReadScene(OneMapFile(c.id, STDMAP_PARAMS_CHUNK, c.payload), &err);
    EXPECT_EQ(loaded, nullptr) << c.label;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.label << ": " << err;
    if (loaded) loaded->DeleteThis();
  }
  // A chunk the map does not know is skipped.
  std::string err;
  ReferenceTarget* loaded = ReadScene(OneMapFile(CHECKER_TEX_CLASS_ID, 0x7777, Le({1, 2})), &err);
  ASSERT_NE(loaded, nullptr) << err;
  EXPECT_EQ(dynamic_cast<CheckerTex*>(loaded)->params.checksU, CheckerParams().checksU);
  loaded->DeleteThis();
}

}  // namespace
}  // namespace tessary::host
