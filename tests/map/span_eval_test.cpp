// The layered map's span evaluation against its per-sample EvalColor: the
// same stacks evaluated both ways over a span, every sample compared bit for
// bit (a NaN need only meet a NaN), and the cache and G-buffer ID left as the
// per-sample path leaves them. Sub-maps hold their own colour per sample
// (sample k is the one at u = k); some evaluate spans themselves, others
// take the host's default, one sample at a time.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"
#include "map/quilbo.h"
#include "tests/map/map_doubles.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/span_stack.h"

namespace tessary::testing {
namespace {

using namespace host;

// A map with a colour of its own at every sample.
class SampleTex : public Texmap {
 public:
  SampleTex(const SampleMap& values, bool spans) : values_(values), spans_(spans) {}
  AColor EvalColor(ShadeContext& sc) override { return At(sc.UVW().x); }
  void EvalColorSpan(ShadeSpan& span, SpanColors& out) override {
    if (!spans_) return Texmap::EvalColorSpan(span, out);
    for (int k = 0; k < span.Count(); ++k) out.Set(k, At(span.U()[k]));
  }
  Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }
  void GetClassName(MSTR& s) override { s = "Samples"; }

 private:
  AColor At(float u) const { return values_.colors[static_cast<std::size_t>(u)]; }
  const SampleMap& values_;
  bool spans_;
};

Point3 SamplePoint(int k) { return Point3(static_cast<float>(k), 0.25f, 0.0f); }

// Evaluates root over samples 0 .. n-1 both ways and compares.
void ExpectSpanMatchesSamples(Texmap& root, int n) {
  ShadeContext perSample;
  std::vector<AColor> want(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    perSample.MoveTo(SamplePoint(k));
    want[static_cast<std::size_t>(k)] = root.EvalColor(perSample);
  }
  ShadeContext sc;
  ShadeSpan span(sc);
  auto out = std::make_unique<SpanColors>();
  span.NewSpan(n);
  for (int k = 0; k < n; ++k) span.SetUVW(k, SamplePoint(k));
  root.EvalColorSpan(span, *out);
  for (int k = 0; k < n; ++k) ASSERT_TRUE(ExactBits(out->Get(k), want[static_cast<std::size_t>(k)], k));
  EXPECT_EQ(sc.GBufferID(), perSample.GBufferID());
  const auto samples = static_cast<std::uint64_t>(n);
  EXPECT_EQ(span.CacheLookups() * samples, perSample.CacheLookups());
  EXPECT_EQ(span.CacheHits() * samples, perSample.CacheHits());
  EXPECT_EQ(span.CacheStores() * samples, perSample.CacheStores());
}

// Layered maps and sample maps, owned by the reference graph below the
// roots the scene holds.
class Scene {
 public:
  Quilbo* Layered(int layers) {
    auto* q = new Quilbo();
    q->SetNumLayers(layers);
    return q;
  }
  // A sample map filled from `seed` (every `hostileEvery`-th value hostile).
  SampleTex* Samples(unsigned seed, int hostileEvery, bool spans) {
    SampleMap& v = values_.emplace_back();
    FillSamples(v, seed, hostileEvery);
    return new SampleTex(v, spans);
  }
  SampleTex* Samples(const SampleMap& copy, bool spans) { return new SampleTex(values_.emplace_back(copy), spans); }
  void Hold(Quilbo* root) { holders_.push_back(std::make_unique<Observer>(root)); }

 private:
  std::deque<SampleMap> values_;  // stable addresses
  std::vector<std::unique_ptr<Observer>> holders_;
};

void SetLayer(Quilbo& q, int i, int mode, float opacity, Texmap* map, Texmap* mask) {
  q.SetSubTexmap(2 * i, map);
  q.SetSubTexmap(2 * i + 1, mask);
  q.blendMode[i] = mode;
  q.opacity[i] = opacity;
  q.layerColor[i] = Color(0.125f * float(i), 1.0f - 0.125f * float(i), 0.3f);
}

// Every mode (and values outside the table) in every switch setting of a
// layer, at three opacities, over a base that meets every boundary value.
TEST(SpanEval, EveryModeSwitchAndOpacity) {
  SampleMap below{"below"}, above{"above"};
  FillPairs(below, above);
  unsigned seed = 1;
  auto next = [&seed] { return ++seed; };
  for (int mode : ModesToTest()) {
    for (float opacity : {0.0f, 37.0f, 100.0f}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + ", opacity " + std::to_string(opacity));
      Scene scene;
      Quilbo* q = scene.Layered(7);
      scene.Hold(q);
      SetLayer(*q, 0, 0, 100.0f, scene.Samples(below, true), nullptr);
      SetLayer(*q, 1, mode, opacity, scene.Samples(above, true), scene.Samples(next(), 3, false));
      SetLayer(*q, 2, mode, opacity, scene.Samples(next(), 4, true), scene.Samples(next(), 4, true));
      q->maskOn[2] = 0;
      SetLayer(*q, 3, mode, opacity, nullptr, scene.Samples(next(), 0, true));
      SetLayer(*q, 4, mode, opacity, scene.Samples(next(), 2, false), nullptr);
      q->mapOn[4] = 0;
      SetLayer(*q, 5, mode, opacity, scene.Samples(next(), 2, true), scene.Samples(next(), 2, true));
      q->layerUsed[5] = 0;
      SetLayer(*q, 6, mode + 7, 50.0f, scene.Samples(next(), 2, false), nullptr);
      ExpectSpanMatchesSamples(*q, kMaxSpan);
      if (HasFailure()) return;
    }
  }
}

TEST(SpanEval, OutputStage) {
  struct Case {
    const char* name;
    OutputSettings s;
  };
  auto settings = [](auto change) {
    OutputSettings s;
    s.outputOn = true;
    change(s);
    return s;
  };
  const Case cases[] = {
      {"on, nothing to do", settings([](OutputSettings&) {})},
      {"off, values set", settings([](OutputSettings& s) {
         s.outputOn = false;
         s.gamma = 2.2f;
         s.clampOn = true;
       })},
      {"gamma", settings([](OutputSettings& s) { s.gamma = 2.2f; })},
      {"gamma below 1", settings([](OutputSettings& s) { s.gamma = 0.45f; })},
      {"hsv shift", settings([](OutputSettings& s) { s.hsvShift = AColor(-40.0f, 0.3f, -0.2f, 0.0f); })},
      {"rgb and alpha shift", settings([](OutputSettings& s) {
         s.rgbShift = AColor(0.1f, -0.6f, 1.5f, 0.0f);
         s.alphaShift = -0.25f;
       })},
      {"brightness and contrast", settings([](OutputSettings& s) {
         s.brightness = 1.7f;
         s.contrast = 0.35f;
       })},
      {"grey and clamp", settings([](OutputSettings& s) {
         s.monoOn = true;
         s.clampOn = true;
       })},
      {"everything", settings([](OutputSettings& s) {
         s.gamma = 1.8f;
         s.hsvShift = AColor(200.0f, -0.5f, 0.25f, 0.0f);
         s.rgbShift = AColor(0.2f, 0.2f, -0.1f, 0.0f);
         s.alphaShift = 0.5f;
         s.brightness = 0.8f;
         s.contrast = 2.5f;
         s.monoOn = true;
         s.clampOn = true;
       })},
  };
  unsigned seed = 100;
  auto next = [&seed] { return ++seed; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    Quilbo* q = scene.Layered(4);
    scene.Hold(q);
    for (int i = 0; i < 4; ++i) {
      SetLayer(*q, i, 3 * i + 1, 60.0f, scene.Samples(next(), 3, i % 2 == 0), scene.Samples(next(), 5, true));
    }
    q->SetOutput(c.s);
    ExpectSpanMatchesSamples(*q, kMaxSpan);
  }
}

// Random stacks: layer counts, entries, switches, modes in and out of the
// table, opacities in and out of range, hostile values, every span length.
TEST(SpanEval, RandomStacksWithHostileValues) {
  std::mt19937 rng(2024);
  auto seed = [&rng] { return static_cast<unsigned>(rng()); };
  auto chance = [&rng](int percent) { return static_cast<int>(rng() % 100) < percent; };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Scene scene;
    const int layers = 1 + static_cast<int>(rng() % 9);
    Quilbo* q = scene.Layered(layers);
    scene.Hold(q);
    for (int i = 0; i < layers; ++i) {
      Texmap* map = chance(80) ? scene.Samples(seed(), 2, chance(50)) : nullptr;
      Texmap* mask = chance(50) ? scene.Samples(seed(), 3, chance(50)) : nullptr;
      SetLayer(*q, i, static_cast<int>(rng() % 40) - 3, chance(30) ? 100.0f : -20.0f + float(rng() % 140), map, mask);
      q->mapOn[i] = chance(85) ? 1 : 0;
      q->maskOn[i] = chance(70) ? 1 : 0;
      q->layerUsed[i] = chance(85) ? 1 : 0;
    }
    if (chance(50)) {
      OutputSettings s;
      s.outputOn = true;
      s.gamma = chance(50) ? 2.2f : 1.0f;
      s.hsvShift = AColor(float(rng() % 400) - 200.0f, 0.1f, 0.0f, 0.0f);
      s.clampOn = chance(50);
      q->SetOutput(s);
    }
    ExpectSpanMatchesSamples(*q, kSpanLengths[static_cast<std::size_t>(round) % std::size(kSpanLengths)]);
    if (HasFailure()) return;
  }
}

// Layered maps inside layered maps, shared between layers and between
// parents, with G-buffer IDs: the span cache must give what the per-sample
// cache gives, and nested maps must not share planes.
TEST(SpanEval, NestedAndSharedLayeredMaps) {
  for (int n : kSpanLengths) {
    SCOPED_TRACE("span of " + std::to_string(n));
    Scene scene;
    Quilbo* root = scene.Layered(5);
    scene.Hold(root);
    Quilbo* inner = scene.Layered(3);
    Quilbo* middle = scene.Layered(3);
    Texmap* shared = scene.Samples(7, 4, true);
    SetLayer(*inner, 0, 0, 100.0f, scene.Samples(1, 3, false), shared);
    SetLayer(*inner, 1, 12, 70.0f, shared, nullptr);
    SetLayer(*inner, 2, 22, 40.0f, scene.Samples(2, 2, true), scene.Samples(3, 5, false));
    inner->SetGBufID(9);
    OutputSettings s;
    s.outputOn = true;
    s.gamma = 1.6f;
    s.rgbShift = AColor(0.1f, 0.0f, -0.1f, 0.0f);
    inner->SetOutput(s);
    SetLayer(*middle, 0, 0, 100.0f, inner, nullptr);
    SetLayer(*middle, 1, 1, 80.0f, shared, inner);
    SetLayer(*middle, 2, 20, 50.0f, inner, shared);
    middle->SetGBufID(4);
    SetLayer(*root, 0, 0, 100.0f, scene.Samples(4, 3, true), middle);
    SetLayer(*root, 1, 2, 90.0f, middle, inner);
    SetLayer(*root, 2, 13, 100.0f, inner, nullptr);
    SetLayer(*root, 3, 25, 30.0f, shared, middle);
    SetLayer(*root, 4, 6, 100.0f, scene.Samples(5, 2, false), nullptr);
    ExpectSpanMatchesSamples(*root, n);
  }
}

// More layered maps than the cache holds, the first used again after the
// others pushed it out; and a chain of maps inside maps twenty deep.
TEST(SpanEval, CacheEvictionAndDeepNesting) {
  Scene scene;
  constexpr int kMaps = ShadeContext::kCacheSize + 3;
  Quilbo* root = scene.Layered(kMaps + 2);
  scene.Hold(root);
  std::vector<Quilbo*> subs;
  for (int i = 0; i < kMaps; ++i) {
    Quilbo* q = scene.Layered(2);
    SetLayer(*q, 0, 0, 100.0f, scene.Samples(10u + unsigned(i), 3, i % 2 == 0), nullptr);
    SetLayer(*q, 1, i, 60.0f, scene.Samples(30u + unsigned(i), 3, true), nullptr);
    q->SetGBufID(i + 1);
    subs.push_back(q);
    SetLayer(*root, i, i + 1, 75.0f, q, nullptr);
  }
  SetLayer(*root, kMaps, 1, 50.0f, subs[0], subs[kMaps - 1]);
  Quilbo* chain = scene.Layered(2);
  SetLayer(*root, kMaps + 1, 11, 65.0f, chain, nullptr);
  for (int depth = 0; depth < 20; ++depth) {
    Quilbo* next = scene.Layered(2);
    SetLayer(*chain, 0, 0, 100.0f, scene.Samples(50u + unsigned(depth), 4, depth % 3 == 0), nullptr);
    SetLayer(*chain, 1, depth % 34, 80.0f, next, subs[static_cast<std::size_t>(depth) % subs.size()]);
    chain = next;
  }
  SetLayer(*chain, 0, 0, 100.0f, scene.Samples(99, 2, true), nullptr);
  ExpectSpanMatchesSamples(*root, kMaxSpan);
  ExpectSpanMatchesSamples(*root, 5);
}

// Once a thread's span has been through every depth of a graph, further
// spans over it allocate nothing: nested maps reuse their planes.
TEST(SpanEval, SpansAfterTheFirstAllocateNothing) {
  Scene scene;
  Quilbo* root = scene.Layered(3);
  scene.Hold(root);
  Quilbo* inner = scene.Layered(2);
  Quilbo* innermost = scene.Layered(2);
  SetLayer(*innermost, 0, 0, 100.0f, scene.Samples(1, 0, true), nullptr);
  SetLayer(*innermost, 1, 2, 50.0f, scene.Samples(2, 0, false), scene.Samples(3, 0, true));
  SetLayer(*inner, 0, 0, 100.0f, innermost, nullptr);
  SetLayer(*inner, 1, 22, 70.0f, scene.Samples(4, 0, true), innermost);
  SetLayer(*root, 0, 0, 100.0f, scene.Samples(5, 0, true), nullptr);
  SetLayer(*root, 1, 1, 80.0f, inner, nullptr);
  SetLayer(*root, 2, 13, 60.0f, innermost, inner);
  OutputSettings s;
  s.outputOn = true;
  s.gamma = 2.2f;
  root->SetOutput(s);

  ShadeContext sc;
  ShadeSpan span(sc);
  auto out = std::make_unique<SpanColors>();
  auto run = [&](int n) {
    span.NewSpan(n);
    for (int k = 0; k < n; ++k) span.SetUVW(k, SamplePoint(k));
    root->EvalColorSpan(span, *out);
  };
  run(kMaxSpan);
  AllocationCounter counter;
  for (int n : kSpanLengths) run(n);
  EXPECT_EQ(counter.Count(), 0);
}

}  // namespace
}  // namespace tessary::testing
