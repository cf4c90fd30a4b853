// The same inputs must give the same bits in every build (debug with
// sanitizers, release, thread sanitizer): no contraction into fused
// multiply-adds, no fast-math, and no library mathematics (exp, log and cos
// are the correctly rounded ones of compositing/cr_math). This digest over
// every mode, the conversions and the output stage is pinned; a build or a
// platform that rounds differently anywhere changes it.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "bump/bump_modes.h"
#include "compositing/blend_modes.h"
#include "compositing/output_stage.h"

namespace tessary {
namespace {

struct Digest {
  std::uint64_t h = 1469598103934665603ull;
  void Add(float v) {
    h ^= std::bit_cast<std::uint32_t>(v);
    h *= 1099511628211ull;
  }
  void Add(const AColor& c) {
    Add(c.r);
    Add(c.g);
    Add(c.b);
    Add(c.a);
  }
};

TEST(BuildConsistency, PinnedDigestOfEveryMode) {
  const float values[] = {-0.75f, 0.0f, 0.1f, 0.25f, 0.3333f, 0.5f, 0.7f, 1.0f, 1.6f};
  Digest d;
  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    for (float b : values) {
      for (float s : values) {
        const AColor base(b, 1.0f - b * 0.5f, s * b, 0.9f);
        const AColor top(s, b * 0.25f + 0.2f, 1.0f - s, 0.6f);
        d.Add(ApplyBlendMode(mode, base, top, 0.7f, 0.6f));
        d.Add(bump::ModeValue(mode, s, b));
      }
    }
  }
  OutputSettings o;
  o.outputOn = true;
  o.hsvShift = AColor(47.5f, -0.1f, 0.05f, 0);
  o.rgbShift = AColor(0.01f, 0.02f, -0.03f, 0);
  o.gamma = 2.2f;
  o.brightness = 1.1f;
  o.contrast = 0.9f;
  for (float b : values) {
    for (float s : values) d.Add(ApplyOutputStage(o, AColor(b, s, (b + s) * 0.5f, 1)));
  }
  EXPECT_EQ(d.h, 0xb80faf685973d00eull) << std::hex << "digest 0x" << d.h;
}

}  // namespace
}  // namespace tessary
